-- SCRIPT CHANGE for Table [dbo].[Rates]
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
CREATE TABLE [dbo].[Tmp_Rates] (
[ID][int] NOT NULL, 
[Region][varchar] (10) COLLATE SQL_Latin1_General_CP1_CI_AS NULL, 
[Amount][int] NOT NULL, 
[Total] AS ([Amount] * 2)
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[Rates])
EXEC( 'INSERT INTO [dbo].[Tmp_Rates] ([ID], [Region], [Amount])
SELECT [ID], [Region], [Amount] FROM [dbo].[Rates] TABLOCKX  WHERE CASE WHEN (Region = ''EU'') THEN 1 ELSE 0 END = 0')
----------------------------------------------------------------------
GO
-- Part 4:
INSERT INTO [dbo].[Tmp_Rates]
(ID,Region,Amount)
VALUES (1,'EU',10)

----------------------------------------------------------------------
GO
-- Part 5:
DROP TABLE [dbo].[Rates]
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_Rates]', 'Rates', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Settings]
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
CREATE TABLE [dbo].[Tmp_Settings] (
[ID][int] IDENTITY (1, 1) NOT NULL, 
[Name][varchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL, 
[Value][nvarchar] (100) COLLATE SQL_Latin1_General_CP1_CI_AS NULL, 
[Secret][varchar] (10) COLLATE SQL_Latin1_General_CP1_CI_AS NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
SET IDENTITY_INSERT [dbo].[Tmp_Settings] ON
----------------------------------------------------------------------
GO
-- Part 4:
IF EXISTS(SELECT * FROM [dbo].[Settings])
EXEC( 'INSERT INTO [dbo].[Tmp_Settings] ([ID], [Name], [Value], [Secret])
SELECT [ID], [Name], [Value], [Secret] FROM [dbo].[Settings] TABLOCKX  WHERE CASE WHEN (ID < 3) THEN 1 ELSE 0 END = 0')
----------------------------------------------------------------------
GO
-- Part 5:
SET IDENTITY_INSERT [dbo].[Tmp_Settings] ON
INSERT INTO [dbo].[Tmp_Settings]
(ID,Name,Value)
VALUES (1,'Version','2.0')
INSERT INTO [dbo].[Tmp_Settings]
(ID,Name,Value)
VALUES (2,'Owner''s name',NULL)

----------------------------------------------------------------------
GO
-- Part 6:
SET IDENTITY_INSERT [dbo].[Tmp_Settings] OFF
----------------------------------------------------------------------
GO
-- Part 7:
DROP TABLE [dbo].[Settings]
----------------------------------------------------------------------
GO
-- Part 8:
EXEC sp_rename '[dbo].[Tmp_Settings]', 'Settings', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 9:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Settings].[Name]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Settings]
ALTER COLUMN [Name] [varchar](40) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Rates].[PK_Rates]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Rates]
ADD CONSTRAINT [PK_Rates] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Settings].[PK_Settings]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Settings]
ADD CONSTRAINT [PK_Settings] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
