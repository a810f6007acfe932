-- SCRIPT CHANGE for Table [dbo].[T]
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
CREATE TABLE [dbo].[Tmp_T] (
[A][int] NOT NULL, 
[Inserted][int] NULL, 
[B2][varchar] (20) NOT NULL, 
[G][uniqueidentifier] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[T])
EXEC( 'INSERT INTO [dbo].[Tmp_T] ([A], [B2], [G])
SELECT [A], [B], [G] FROM [dbo].[T] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 4:
DROP TABLE [dbo].[T]
----------------------------------------------------------------------
GO
-- Part 5:
EXEC sp_rename '[dbo].[Tmp_T]', 'T', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 6:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[T].[Inserted]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[T]
ADD [Inserted] [int] NULL*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[T].[B2]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[T]
ALTER COLUMN [B2] [varchar](20) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[T].[G]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[T]
ALTER COLUMN [G] [uniqueidentifier] NOT NULL DROP ROWGUIDCOL
*/
GO
--------------------------------------------------------------------------------
