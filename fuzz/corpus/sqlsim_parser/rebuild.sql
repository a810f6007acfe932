CREATE TABLE [dbo].[T] ([ID] int IDENTITY (1, 1) NOT NULL, [N] varchar (9) NULL)
INSERT T (N) VALUES ('a')
GO
BEGIN TRANSACTION
CREATE TABLE [dbo].[Tmp_T] ([ID] int IDENTITY (1, 1) NOT NULL, [N] char (4) NULL)
SET IDENTITY_INSERT [dbo].[Tmp_T] ON
IF EXISTS(SELECT * FROM [dbo].[T])
EXEC( 'INSERT INTO [dbo].[Tmp_T] ([ID], [N])
SELECT CONVERT([int], [ID]), CONVERT([char](4), [N]) FROM [dbo].[T] TABLOCKX')
SET IDENTITY_INSERT [dbo].[Tmp_T] OFF
DROP TABLE [dbo].[T]
EXEC sp_rename '[dbo].[Tmp_T]', 'T', 'OBJECT'
COMMIT
