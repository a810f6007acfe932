-- SCRIPT RENAME for Relation [dbo].[Orders].[FK_O'Brien]
--------------------------------------------------------------------------------
EXEC sp_rename '[dbo].[Orders].[FK_Old]', 'FK_O''Brien', 'OBJECT'
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Orders].[FK_O'Brien]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_O''Brien]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_O'Brien]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] WITH NOCHECK ADD
		CONSTRAINT [FK_O'Brien]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Relation [dbo].[Orders].[FK_Changed]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Changed]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Changed]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] ADD
		CONSTRAINT [FK_Changed]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([ID])
		ON DELETE CASCADE
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT REDELETE for Relation [dbo].[Orders].[FK_Gone]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Gone]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Gone]
GO
--------------------------------------------------------------------------------
