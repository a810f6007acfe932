-- SCRIPT CREATE for Relation [dbo].[Orders].[FK_Orders_Customers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orders_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] ADD
		CONSTRAINT [FK_Orders_Customers]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Relation [dbo].[Orders].[FK_Orders_Customers2]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orders_Customers2]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers2]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] ADD
		CONSTRAINT [FK_Orders_Customers2]
		FOREIGN KEY ([CustomerID],[Region])
		REFERENCES [dbo].[Customers] ([ID],[Region])
		ON DELETE CASCADE
		ON UPDATE CASCADE
		NOT FOR REPLICATION
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Relation [dbo].[Orders].[FK_Disabled]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Disabled]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Disabled]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Orders] WITH NOCHECK ADD
		CONSTRAINT [FK_Disabled]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([ID])
		ALTER TABLE [dbo].[Orders] NOCHECK CONSTRAINT [FK_Disabled]
		END
GO
--------------------------------------------------------------------------------
