-- case: create
-- SCRIPT CREATE for Table [dbo].[Doc]
--------------------------------------------------------------------------------
CREATE TABLE [dbo].[Doc] (
[ID][int] NOT NULL, 
[Body][image] NULL, 
[Title][nvarchar] (100) NULL, 
[Ext][char] (3) NULL
) ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
-- Part 1:
exec sp_fulltext_table '[dbo].[Doc]', 'create', 'Cat','PK_Doc'
----------------------------------------------------------------------
GO
-- Part 2:
exec sp_fulltext_column '[dbo].[Doc]','Body', 'add', 1033, 'Ext'
----------------------------------------------------------------------
GO
-- Part 3:
exec sp_fulltext_column '[dbo].[Doc]','Title', 'add'
----------------------------------------------------------------------
GO
-- Part 4:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
----------------------------------------------------------------------
GO
-- Part 5:
exec sp_fulltext_table '[dbo].[Doc]', 'start_change_tracking'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- case: create for version 70
-- SCRIPT CREATE for Table [dbo].[Doc]
--------------------------------------------------------------------------------
CREATE TABLE [dbo].[Doc] (
[Body][image] NULL
) ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
-- Part 1:
exec sp_fulltext_table '[dbo].[Doc]', 'create', 'Cat','PK_Doc'
----------------------------------------------------------------------
GO
-- Part 2:
exec sp_fulltext_column '[dbo].[Doc]','Body', 'add'
----------------------------------------------------------------------
GO
-- Part 3:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
----------------------------------------------------------------------
GO
-- Part 4:
exec sp_fulltext_table '[dbo].[Doc]', 'Start_background_updateindex'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- case: delete
-- SCRIPT DELETE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
exec sp_fulltext_table '[dbo].[Doc]', 'drop'
GO
--------------------------------------------------------------------------------
-- case: change catalog
-- SCRIPT DELETE for Column [dbo].[Doc].[Old]
--------------------------------------------------------------------------------
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 1
  exec sp_fulltext_table '[dbo].[Doc]', 'deactivate'

IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableFulltextCatalogId' ),0) <> 0
  exec sp_fulltext_column '[dbo].[Doc]','Old', 'drop'

ALTER TABLE [dbo].[Doc]
DROP COLUMN [Old]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
-- Part 1:
exec sp_fulltext_table '[dbo].[Doc]', 'drop'
----------------------------------------------------------------------
GO
-- Part 2:
exec sp_fulltext_table '[dbo].[Doc]', 'create', 'NewCat','PK_Doc'
----------------------------------------------------------------------
GO
-- Part 3:
exec sp_fulltext_column '[dbo].[Doc]','Title', 'add'
----------------------------------------------------------------------
GO
-- Part 4:
IF ISNULL(COLUMNPROPERTY (OBJECT_ID('[dbo].[Doc]') ,'Old', 'IsFulltextIndexed' ),0) = 1
exec sp_fulltext_column '[dbo].[Doc]','Old', 'drop'
----------------------------------------------------------------------
GO
-- Part 5:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- case: unchanged
-- SCRIPT CHANGE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
GO
--------------------------------------------------------------------------------
-- case: column changes
-- SCRIPT CHANGE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
-- Part 1:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 1
  exec sp_fulltext_table '[dbo].[Doc]', 'deactivate'
----------------------------------------------------------------------
GO
-- Part 2:
IF ISNULL(COLUMNPROPERTY (OBJECT_ID('[dbo].[Doc]') ,'Title', 'IsFulltextIndexed' ),0) = 1
  exec sp_fulltext_column '[dbo].[Doc]','Title', 'drop'
----------------------------------------------------------------------
GO
-- Part 3:
exec sp_fulltext_column '[dbo].[Doc]','Title', 'add', 1031
----------------------------------------------------------------------
GO
-- Part 4:
exec sp_fulltext_column '[dbo].[Doc]','Body', 'add'
----------------------------------------------------------------------
GO
-- Part 5:
IF ISNULL(COLUMNPROPERTY (OBJECT_ID('[dbo].[Doc]') ,'Old', 'IsFulltextIndexed' ),0) = 1
exec sp_fulltext_column '[dbo].[Doc]','Old', 'drop'
----------------------------------------------------------------------
GO
-- Part 6:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
----------------------------------------------------------------------
GO
-- Part 7:
exec sp_fulltext_table '[dbo].[Doc]', 'stop_change_tracking'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- case: dropped column
-- SCRIPT DELETE for Column [dbo].[Doc].[Gone]
--------------------------------------------------------------------------------
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 1
  exec sp_fulltext_table '[dbo].[Doc]', 'deactivate'

IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableFulltextCatalogId' ),0) <> 0
  exec sp_fulltext_column '[dbo].[Doc]','Gone', 'drop'

ALTER TABLE [dbo].[Doc]
DROP COLUMN [Gone]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for FTI [dbo].[Doc]
--------------------------------------------------------------------------------
-- Part 1:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 1
  exec sp_fulltext_table '[dbo].[Doc]', 'deactivate'
----------------------------------------------------------------------
GO
-- Part 2:
IF ISNULL(COLUMNPROPERTY (OBJECT_ID('[dbo].[Doc]') ,'Gone', 'IsFulltextIndexed' ),0) = 1
exec sp_fulltext_column '[dbo].[Doc]','Gone', 'drop'
----------------------------------------------------------------------
GO
-- Part 3:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Doc]', 'Activate'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
