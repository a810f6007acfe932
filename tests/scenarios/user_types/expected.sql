-- SCRIPT DELETE for Table [dbo].[Legacy]
--------------------------------------------------------------------------------
DROP TABLE [dbo].[Legacy]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Type [OldT]
--------------------------------------------------------------------------------
EXEC sp_droptype 'OldT'
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Type [id]
--------------------------------------------------------------------------------
EXEC sp_addtype 'id', 'varchar(11)', 'NOT NULL'
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Type [Amount]
--------------------------------------------------------------------------------
-- Part 1:
EXEC sp_droptype 'Amount'
----------------------------------------------------------------------
GO
-- Part 2:
EXEC sp_addtype 'Amount', 'decimal(9, 2)', 'NULL'
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Authors]
--------------------------------------------------------------------------------
-- Part 1:
BEGIN TRANSACTION
SET QUOTED_IDENTIFIER ON
SET TRANSACTION ISOLATION LEVEL SERIALIZABLE
COMMIT
BEGIN TRANSACTION
----------------------------------------------------------------------
GO
-- Part 2:
CREATE TABLE [dbo].[Tmp_Authors] (
[au_id][id] COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL, 
[Phone][PhoneT] COLLATE SQL_Latin1_General_CP1_CI_AS NULL, 
[Fee][Amount] NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[Authors])
EXEC( 'INSERT INTO [dbo].[Tmp_Authors] ([au_id], [Phone])
SELECT CONVERT([varchar](11), [au_id]), CONVERT([varchar](24), [Phone]) FROM [dbo].[Authors] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 4:
DROP TABLE [dbo].[Authors]
----------------------------------------------------------------------
GO
-- Part 5:
EXEC sp_rename '[dbo].[Tmp_Authors]', 'Authors', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 6:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[Authors].[Fee]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[Authors]
ADD [Fee] [Amount] NULL*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Authors].[au_id]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Authors]
ALTER COLUMN [au_id] [id] NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Authors].[Phone]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Authors]
ALTER COLUMN [Phone] [PhoneT] NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Authors].[PK_Authors]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Authors]
ADD CONSTRAINT [PK_Authors] PRIMARY KEY CLUSTERED
([au_id])

GO
--------------------------------------------------------------------------------
-- Warning: bound defaults and rules differ; they are not scripted:
-- + [dbo].[Authors].[Fee] DEFAULT [D_NoFee]
-- + DEFAULT [dbo].[D_NoFee] AS CREATE DEFAULT dbo.D_NoFee AS 0 
