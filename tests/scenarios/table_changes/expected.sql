-- SCRIPT DELETE for Table [dbo].[Old]
--------------------------------------------------------------------------------
DROP TABLE [dbo].[Old]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Customers]
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
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orders_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]
----------------------------------------------------------------------
GO
-- Part 3:
CREATE TABLE [dbo].[Tmp_Customers] (
[ID][int] NOT NULL, 
[Name][nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 4:
IF EXISTS(SELECT * FROM [dbo].[Customers])
EXEC( 'INSERT INTO [dbo].[Tmp_Customers] ([ID], [Name])
SELECT [ID], [Name] FROM [dbo].[Customers] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 5:
DROP TABLE [dbo].[Customers]
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_Customers]', 'Customers', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[Orders].[Amount]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Orders]
ADD [Amount] [decimal](10, 2) NULL
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Customers].[Name]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Customers]
ALTER COLUMN [Name] [nvarchar](40) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Customers].[PK_Customers]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Customers]
ADD CONSTRAINT [PK_Customers] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Orders].[FK_Orders_Customers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orders_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] WITH NOCHECK ADD
		CONSTRAINT [FK_Orders_Customers]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for View [dbo].[V]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE VIEW [dbo].[V] AS SELECT ID FROM dbo.Orders
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
