-- SCRIPT DELETE for Relation [dbo].[Reminders].[FK_Reminders_Invoices]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Reminders_Invoices]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Reminders] DROP CONSTRAINT [FK_Reminders_Invoices]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Column [dbo].[Customers].[Fax]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[Customers]
DROP COLUMN [Fax]*/

GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Table [dbo].[Reminders]
--------------------------------------------------------------------------------
DROP TABLE [dbo].[Reminders]
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
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Invoices_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Invoices] DROP CONSTRAINT [FK_Invoices_Customers]
----------------------------------------------------------------------
GO
-- Part 3:
CREATE TABLE [dbo].[Tmp_Customers] (
[CustomerID][int] IDENTITY (1, 1) NOT NULL, 
[Name][nvarchar] (80) COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL, 
[City][nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL, 
[Rating][tinyint] NOT NULL CONSTRAINT [DF_Customers_Rating] DEFAULT (3)
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 4:
SET IDENTITY_INSERT [dbo].[Tmp_Customers] ON
----------------------------------------------------------------------
GO
-- Part 5:
IF EXISTS(SELECT * FROM [dbo].[Customers])
EXEC( 'INSERT INTO [dbo].[Tmp_Customers] ([CustomerID], [Name], [City])
SELECT [CustomerID], [Name], [City] FROM [dbo].[Customers] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 6:
SET IDENTITY_INSERT [dbo].[Tmp_Customers] OFF
----------------------------------------------------------------------
GO
-- Part 7:
DROP TABLE [dbo].[Customers]
----------------------------------------------------------------------
GO
-- Part 8:
EXEC sp_rename '[dbo].[Tmp_Customers]', 'Customers', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 9:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Invoices]
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
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Invoices_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Invoices] DROP CONSTRAINT [FK_Invoices_Customers]
----------------------------------------------------------------------
GO
-- Part 3:
ALTER TABLE [dbo].[Invoices]
DROP CONSTRAINT [DF_Invoices_Paid]
----------------------------------------------------------------------
GO
-- Part 4:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Payments_Invoices]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Payments] DROP CONSTRAINT [FK_Payments_Invoices]
----------------------------------------------------------------------
GO
-- Part 5:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Reminders_Invoices]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Reminders] DROP CONSTRAINT [FK_Reminders_Invoices]
----------------------------------------------------------------------
GO
-- Part 6:
CREATE TABLE [dbo].[Tmp_Invoices] (
[InvoiceID][int] IDENTITY (100, 10) NOT NULL, 
[CustomerID][int] NOT NULL, 
[Amount][decimal] (12, 2) NOT NULL, 
[Paid][bit] NOT NULL CONSTRAINT [DF_Invoices_Paid] DEFAULT (0)
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 7:
SET IDENTITY_INSERT [dbo].[Tmp_Invoices] ON
----------------------------------------------------------------------
GO
-- Part 8:
IF EXISTS(SELECT * FROM [dbo].[Invoices])
EXEC( 'INSERT INTO [dbo].[Tmp_Invoices] ([InvoiceID], [CustomerID], [Amount], [Paid])
SELECT [InvoiceID], [CustomerID], [Amount], [Paid] FROM [dbo].[Invoices] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 9:
SET IDENTITY_INSERT [dbo].[Tmp_Invoices] OFF
----------------------------------------------------------------------
GO
-- Part 10:
DROP TABLE [dbo].[Invoices]
----------------------------------------------------------------------
GO
-- Part 11:
EXEC sp_rename '[dbo].[Tmp_Invoices]', 'Invoices', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 12:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Column [dbo].[Customers].[Rating]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[Customers]
ADD [Rating] [tinyint] NOT NULL CONSTRAINT [DF_Customers_Rating] DEFAULT (3)*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Customers].[CustomerID]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Customers]
ALTER COLUMN [CustomerID] [int] IDENTITY (1, 1) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Customers].[Name]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Customers]
ALTER COLUMN [Name] [nvarchar](80) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Invoices].[Amount]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Invoices]
ALTER COLUMN [Amount] [decimal](12, 2) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Check [dbo].[Customers].[CK_Customers_Rating]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Customers]
ADD CONSTRAINT [CK_Customers_Rating] CHECK ([Rating] >= 1 and [Rating] <= 5)
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Customers].[PK_Customers]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Customers]
ADD CONSTRAINT [PK_Customers] PRIMARY KEY CLUSTERED
([CustomerID])

GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[Invoices].[IX_Invoices_Customer]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE CLUSTERED INDEX [IX_Invoices_Customer] ON [dbo].[Invoices]
([CustomerID],[InvoiceID])

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[Customers].[UX_Customers_Name]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE UNIQUE NONCLUSTERED INDEX [UX_Customers_Name] ON [dbo].[Customers]
([Name])

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[Invoices].[PK_Invoices]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Invoices]
ADD CONSTRAINT [PK_Invoices] PRIMARY KEY NONCLUSTERED
([InvoiceID])

GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Invoices].[FK_Invoices_Customers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Invoices_Customers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Invoices] DROP CONSTRAINT [FK_Invoices_Customers]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Invoices]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Customers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Invoices] WITH NOCHECK ADD
		CONSTRAINT [FK_Invoices_Customers]
		FOREIGN KEY ([CustomerID])
		REFERENCES [dbo].[Customers] ([CustomerID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Relation [dbo].[Payments].[FK_Payments_Invoices]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Payments_Invoices]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Payments] DROP CONSTRAINT [FK_Payments_Invoices]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Payments]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Invoices]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Payments] ADD
		CONSTRAINT [FK_Payments_Invoices]
		FOREIGN KEY ([InvoiceID])
		REFERENCES [dbo].[Invoices] ([InvoiceID])
		ON DELETE CASCADE
		END
GO
--------------------------------------------------------------------------------
