-- SCRIPT DELETE for Procedure [dbo].[Obsolete]
--------------------------------------------------------------------------------
DROP PROCEDURE [dbo].[Obsolete]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Index [dbo].[Sales].[IX_Sales_Old]
--------------------------------------------------------------------------------
DROP INDEX [dbo].[Sales].[IX_Sales_Old]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Check [dbo].[Sales].[CK_Sales_Gone]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Sales]
DROP CONSTRAINT [CK_Sales_Gone]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Role [Clerks]
--------------------------------------------------------------------------------
EXEC sp_addrole 'Clerks'
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Default [dbo].[Products].[DF_Products_Price]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Products]
DROP CONSTRAINT [DF_Products_Price]
ALTER TABLE [dbo].[Products]
ADD CONSTRAINT [DF_Products_Price] DEFAULT (1) FOR [Price]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Check [dbo].[Products].[CK_Products_Stock]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Products]
DROP CONSTRAINT [CK_Products_Stock]
ALTER TABLE [dbo].[Products]
ADD CONSTRAINT [CK_Products_Stock] CHECK ([Stock] >= 0)
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[Products].[IX_Products_Name]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE NONCLUSTERED INDEX [IX_Products_Name] ON [dbo].[Products]
([Name])

GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Relation [dbo].[Sales].[FK_Sales_Products]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Sales_Products]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Sales] DROP CONSTRAINT [FK_Sales_Products]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Sales]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Products]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Sales] ADD
		CONSTRAINT [FK_Sales_Products]
		FOREIGN KEY ([ProductID])
		REFERENCES [dbo].[Products] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for View [dbo].[SalesView]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER VIEW [dbo].[SalesView] AS SELECT s.ID, p.Name, s.Qty FROM dbo.Sales s INNER JOIN dbo.Products p ON p.ID = s.ProductID
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Procedure [dbo].[GetSales]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER PROCEDURE [dbo].[GetSales] @id int AS SELECT * FROM dbo.Sales WHERE ID = @id
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Function [dbo].[Twice]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE FUNCTION [dbo].[Twice] (@x int) RETURNS int AS BEGIN RETURN @x * 2 END
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Trigger [dbo].[Sales].[trSales]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE TRIGGER [trSales] ON [dbo].[Sales] FOR INSERT AS SET NOCOUNT ON
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Permission [dbo].[SalesView].[Clerks]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[SalesView]') and OBJECTPROPERTY(id, 'IsView') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	GRANT SELECT ON [dbo].[SalesView]
	TO [Clerks]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
