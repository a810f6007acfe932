-- case: no file groups or collations
-- SCRIPT CREATE for Table [dbo].[T]
--------------------------------------------------------------------------------
CREATE TABLE [dbo].[T] (
[C][varchar] (10) NOT NULL
)
GO
--------------------------------------------------------------------------------
-- case: destination-only table is dropped
-- SCRIPT DELETE for Table [dbo].[Old]
--------------------------------------------------------------------------------
DROP TABLE [dbo].[Old]
GO
--------------------------------------------------------------------------------
-- case: renamed table
-- SCRIPT RENAME for Table [dbo].[New]
--------------------------------------------------------------------------------
EXEC sp_rename '[dbo].[O''Old]', 'New', 'OBJECT'
GO
--------------------------------------------------------------------------------
-- case: file group change rebuilds the table
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
[A][int] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[T])
EXEC( 'INSERT INTO [dbo].[Tmp_T] ([A])
SELECT [A] FROM [dbo].[T] TABLOCKX ')
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
-- case: new identity column
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
[NewID][int] IDENTITY (1, 1) NOT NULL, 
[B][int] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[T])
EXEC( 'INSERT INTO [dbo].[Tmp_T] ([A], [B])
SELECT [A], [B] FROM [dbo].[T] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 4:
SET IDENTITY_INSERT [dbo].[Tmp_T] OFF
----------------------------------------------------------------------
GO
-- Part 5:
DROP TABLE [dbo].[T]
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_T]', 'T', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[T].[NewID]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[T]
ADD [NewID] [int] IDENTITY (1, 1) NOT NULL*/

GO
--------------------------------------------------------------------------------
-- case: data copy without condition, failing query
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
[A][int] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
RAISERROR ('Invalid DataCopy Where Clause: %s',18,1,'')
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
-- case: data copy quotes column names
-- SCRIPT CREATE for Table [dbo].[T]
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
[ID][int] NOT NULL, 
[Order Date][datetime] NULL, 
[Key][int] NULL, 
[a]]b][int] NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
INSERT INTO [dbo].[Tmp_T]
(ID,[Order Date],[Key],[a]]b])
VALUES (1,CONVERT(DATETIME, '2003-01-31 13:45:00',120),2,NULL)

----------------------------------------------------------------------
GO
-- Part 4:
EXEC sp_rename '[dbo].[Tmp_T]', 'T', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 5:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
