-- SCRIPT DELETE for Permission [dbo].[Docs].[Auditors]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Docs]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	REVOKE ALL ON [dbo].[Docs]
	FROM [Auditors]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Trigger [dbo].[Docs].[trDocs_Delete]
--------------------------------------------------------------------------------
DROP TRIGGER [trDocs_Delete]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Catalog OldCatalog
--------------------------------------------------------------------------------
EXEC sp_fulltext_catalog 'OldCatalog', 'drop'
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Role [Auditors]
--------------------------------------------------------------------------------
EXEC sp_droprole 'Auditors'
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Role [Editors]
--------------------------------------------------------------------------------
EXEC sp_addrole 'Editors'
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Role [Staff]
--------------------------------------------------------------------------------
EXEC sp_addrole 'Staff'
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Catalog NotesCatalog
--------------------------------------------------------------------------------
-- Part 1:
IF DATABASEPROPERTY(DB_NAME(),'IsFulltextEnabled') = 0
  EXEC sp_fulltext_database 'enable'
----------------------------------------------------------------------
GO
-- Part 2:
EXEC sp_fulltext_catalog 'NotesCatalog', 'create'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for FTI [dbo].[Docs]
--------------------------------------------------------------------------------
-- Part 1:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Docs]') , 'TableHasActiveFulltextIndex' ),0) = 1
  exec sp_fulltext_table '[dbo].[Docs]', 'deactivate'
----------------------------------------------------------------------
GO
-- Part 2:
exec sp_fulltext_column '[dbo].[Docs]','Body', 'add', 1033
----------------------------------------------------------------------
GO
-- Part 3:
IF ISNULL(OBJECTPROPERTY (OBJECT_ID('[dbo].[Docs]') , 'TableHasActiveFulltextIndex' ),0) = 0
  exec sp_fulltext_table '[dbo].[Docs]', 'Activate'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for View [dbo].[DocTitles]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER VIEW [dbo].[DocTitles] AS SELECT DocID, Title FROM dbo.Docs
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for View [dbo].[ShortTitles]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER VIEW [dbo].[ShortTitles] AS SELECT DocID, Title FROM dbo.DocTitles WHERE LEN(Title) < 20
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Procedure [dbo].[GetDoc]
--------------------------------------------------------------------------------
-- Part 1:
DROP PROCEDURE [dbo].[GetDoc]
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROCEDURE [dbo].[GetDoc] @id int AS SELECT DocID, Title FROM dbo.Docs WHERE DocID = @id
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
-- Part 3:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROCEDURE [dbo].[GetDoc];2 @title nvarchar (100) AS SELECT DocID FROM dbo.Docs WHERE Title = @title
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Function [dbo].[TitleLength]
--------------------------------------------------------------------------------
-- Part 1:
DROP FUNCTION [dbo].[TitleLength]
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE FUNCTION [dbo].[TitleLength] (@id int) RETURNS int AS
BEGIN
    RETURN (SELECT LEN(Title) FROM dbo.Docs WHERE DocID = @id)
END
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Trigger [dbo].[Docs].[trDocs_Title]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE TRIGGER [trDocs_Title] ON [dbo].[Docs] FOR UPDATE AS
IF UPDATE(Title) RETURN
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Permission [dbo].[Docs].[Editors]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Docs]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	
	GRANT UPDATE ON [dbo].[Docs] ([Title],[Body])
	TO [Editors]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Permission [dbo].[GetDoc].[Readers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[GetDoc]') and OBJECTPROPERTY(id, 'IsProcedure') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	GRANT EXECUTE ON [dbo].[GetDoc]
	TO [Readers]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Permission [dbo].[Docs].[Readers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Docs]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	REVOKE ALL ON [dbo].[Docs]
	FROM [Readers]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Docs]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	DENY SELECT ON [dbo].[Docs] ([Secret])
	TO [Readers]
	
	
	GRANT SELECT ON [dbo].[Docs] ([DocID],[Title])
	TO [Readers]
	AS [dbo]
	
	
GO
--------------------------------------------------------------------------------
