-- SCRIPT CREATE for Table [dbo].[N]
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
CREATE TABLE [dbo].[Tmp_N] (
[ID][int] IDENTITY (1, 1) NOT NULL, 
[V][nvarchar] (10) NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
SET IDENTITY_INSERT [dbo].[Tmp_N] ON
----------------------------------------------------------------------
GO
-- Part 4:
SET IDENTITY_INSERT [dbo].[Tmp_N] ON
INSERT INTO [dbo].[Tmp_N]
(ID,V)
VALUES (7,'x
GO'+'
y')

----------------------------------------------------------------------
GO
-- Part 5:
SET IDENTITY_INSERT [dbo].[Tmp_N] OFF
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_N]', 'N', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
