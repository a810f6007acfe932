-- SCRIPT DELETE for Column [dbo].[T].[Gone]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
DROP COLUMN [Gone]
GO
--------------------------------------------------------------------------------
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
CREATE TABLE [dbo].[Tmp_T1] (
[ID][int] IDENTITY (1, 1) NOT NULL, 
[NewName][varchar] (20) NOT NULL, 
[Added][int] NULL, 
[Calc] AS ([ID] + 1), 
[TS][timestamp] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
SET IDENTITY_INSERT [dbo].[Tmp_T1] ON
----------------------------------------------------------------------
GO
-- Part 4:
IF EXISTS(SELECT * FROM [dbo].[T])
EXEC( 'INSERT INTO [dbo].[Tmp_T1] ([ID], [NewName])
SELECT CONVERT([int], [ID]), CONVERT([varchar](20), [OldName]) FROM [dbo].[T] TABLOCKX  WHERE CASE WHEN ([ID] < 10) OR (Name LIKE ''a%'') THEN 1 ELSE 0 END = 0')
----------------------------------------------------------------------
GO
-- Part 5:
SET IDENTITY_INSERT [dbo].[Tmp_T1] ON
INSERT INTO [dbo].[Tmp_T1]
(ID,NewName)
VALUES (1,'O''Brien')
INSERT INTO [dbo].[Tmp_T1]
(ID,NewName)
VALUES (2,NULL)
SET IDENTITY_INSERT [dbo].[Tmp_T1] ON
INSERT INTO [dbo].[Tmp_T1]
(ID,NewName,Added)
VALUES (40,'abc',7)

----------------------------------------------------------------------
GO
-- Part 6:
SET IDENTITY_INSERT [dbo].[Tmp_T1] OFF
----------------------------------------------------------------------
GO
-- Part 7:
DROP TABLE [dbo].[T]
----------------------------------------------------------------------
GO
-- Part 8:
EXEC sp_rename '[dbo].[Tmp_T1]', 'T', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 9:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[T].[Added]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[T]
ADD [Added] [int] NULL*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[T].[Calc]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[T]
ADD [Calc] AS ([ID] + 1)*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[T].[NewName]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[T]
ALTER COLUMN [NewName] [varchar](20) NOT NULL
*/
GO
--------------------------------------------------------------------------------
