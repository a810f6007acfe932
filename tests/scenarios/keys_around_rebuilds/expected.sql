-- SCRIPT DELETE for Relation [dbo].[Orphans].[FK_Orphans_Parents]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orphans_Parents]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orphans] DROP CONSTRAINT [FK_Orphans_Parents]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Column [dbo].[Wide].[D]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Wide]
DROP COLUMN [D]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Column [dbo].[Wide].[C]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Wide]
DROP COLUMN [C]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Column [dbo].[Vendors].[Fax]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[Vendors]
DROP COLUMN [Fax]*/

GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Column [dbo].[Parents].[Legacy]
--------------------------------------------------------------------------------

/* Comment:ALTER TABLE [dbo].[Parents]
DROP COLUMN [Legacy]*/

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Children]
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
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Children_Parents]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Children] DROP CONSTRAINT [FK_Children_Parents]
----------------------------------------------------------------------
GO
-- Part 3:
CREATE TABLE [dbo].[Tmp_Children] (
[ID][int] NOT NULL, 
[ParentID][int] NULL, 
[Qty][int] NOT NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 4:
IF EXISTS(SELECT * FROM [dbo].[Children])
EXEC( 'INSERT INTO [dbo].[Tmp_Children] ([ID], [ParentID], [Qty])
SELECT [ID], [ParentID], [Qty] FROM [dbo].[Children] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 5:
DROP TABLE [dbo].[Children]
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_Children]', 'Children', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx]
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
CREATE TABLE [dbo].[Tmp_Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx] (
[ID][int] NOT NULL, 
[V][int] NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 3:
IF EXISTS(SELECT * FROM [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx])
EXEC( 'INSERT INTO [dbo].[Tmp_Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx] ([ID], [V])
SELECT [ID], [V] FROM [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 4:
DROP TABLE [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx]
----------------------------------------------------------------------
GO
-- Part 5:
EXEC sp_rename '[dbo].[Tmp_Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx]', 'Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 6:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Parents]
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
if exists (select * from dbo.sysobjects where id = object_id('[app].[FK.Items Parent]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [app].[Items] DROP CONSTRAINT [FK.Items Parent]
----------------------------------------------------------------------
GO
-- Part 3:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Children_Parents]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Children] DROP CONSTRAINT [FK_Children_Parents]
----------------------------------------------------------------------
GO
-- Part 4:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Orphans_Parents]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Orphans] DROP CONSTRAINT [FK_Orphans_Parents]
----------------------------------------------------------------------
GO
-- Part 5:
CREATE TABLE [dbo].[Tmp_Parents1] (
[ID][int] NOT NULL, 
[Code][char] (4) COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL, 
[Name][varchar] (40) COLLATE Latin1_General_BIN NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 6:
IF EXISTS(SELECT * FROM [dbo].[Parents])
EXEC( 'INSERT INTO [dbo].[Tmp_Parents1] ([ID], [Code], [Name])
SELECT [ID], [Code], [Name] FROM [dbo].[Parents] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 7:
DROP TABLE [dbo].[Parents]
----------------------------------------------------------------------
GO
-- Part 8:
EXEC sp_rename '[dbo].[Tmp_Parents1]', 'Parents', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 9:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Table [dbo].[Suppliers]
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
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Supplies_Vendors]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Supplies] DROP CONSTRAINT [FK_Supplies_Vendors]
----------------------------------------------------------------------
GO
-- Part 3:
CREATE TABLE [dbo].[Tmp_Suppliers] (
[ID][int] NOT NULL, 
[Name][varchar] (60) COLLATE SQL_Latin1_General_CP1_CI_AS NOT NULL, 
[Phone][varchar] (20) COLLATE SQL_Latin1_General_CP1_CI_AS NULL
) ON [PRIMARY]
----------------------------------------------------------------------
GO
-- Part 4:
IF EXISTS(SELECT * FROM [dbo].[Vendors])
EXEC( 'INSERT INTO [dbo].[Tmp_Suppliers] ([ID], [Name], [Phone])
SELECT [ID], [Name], [Phone] FROM [dbo].[Vendors] TABLOCKX ')
----------------------------------------------------------------------
GO
-- Part 5:
DROP TABLE [dbo].[Vendors]
----------------------------------------------------------------------
GO
-- Part 6:
EXEC sp_rename '[dbo].[Tmp_Suppliers]', 'Suppliers', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 7:
COMMIT
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Children].[Qty]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Children]
ALTER COLUMN [Qty] [int] NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx].[V]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx]
ALTER COLUMN [V] [int] NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Parents].[Code]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Parents]
ALTER COLUMN [Code] [char](4) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Column [dbo].[Suppliers].[Name]
--------------------------------------------------------------------------------

/* Comment: ALTER TABLE [dbo].[Suppliers]
ALTER COLUMN [Name] [varchar](60) NOT NULL
*/
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Check [dbo].[Children].[CK_Children_Qty]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Children] WITH NOCHECK
ADD CONSTRAINT [CK_Children_Qty] CHECK ([Qty] > 0)
ALTER TABLE [dbo].[Children] NOCHECK CONSTRAINT [CK_Children_Qty]
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Children].[PK_Children]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Children]
ADD CONSTRAINT [PK_Children] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Parents].[PK_Parents]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Parents]
ADD CONSTRAINT [PK_Parents] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[Suppliers].[PK_Vendors]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[Suppliers]
ADD CONSTRAINT [PK_Vendors] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[Accounts].[PK_Accounts]
--------------------------------------------------------------------------------
-- Part 1:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Entries_Accounts]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Entries] DROP CONSTRAINT [FK_Entries_Accounts]
----------------------------------------------------------------------
GO
-- Part 2:
ALTER TABLE [dbo].[Accounts]
DROP CONSTRAINT [PK_Accounts]
----------------------------------------------------------------------
GO
-- Part 3:
ALTER TABLE [dbo].[Accounts]
ADD CONSTRAINT [PK_Accounts] PRIMARY KEY CLUSTERED
([ID],[Branch])

----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[Codes].[UQ_Codes]
--------------------------------------------------------------------------------
-- Part 1:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Postings_Code]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Postings] DROP CONSTRAINT [FK_Postings_Code]
----------------------------------------------------------------------
GO
-- Part 2:
ALTER TABLE [dbo].[Codes]
DROP CONSTRAINT [UQ_Codes]
----------------------------------------------------------------------
GO
-- Part 3:
ALTER TABLE [dbo].[Codes]
ADD CONSTRAINT [UQ_Codes] UNIQUE CLUSTERED
([Code])

----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[Ledgers].[PK_Ledgers]
--------------------------------------------------------------------------------
-- Part 1:
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Postings_Ledgers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Postings] DROP CONSTRAINT [FK_Postings_Ledgers]
----------------------------------------------------------------------
GO
-- Part 2:
ALTER TABLE [dbo].[Ledgers]
DROP CONSTRAINT [PK_Ledgers]
----------------------------------------------------------------------
GO
-- Part 3:
ALTER TABLE [dbo].[Ledgers]
ADD CONSTRAINT [PK_Ledgers] PRIMARY KEY NONCLUSTERED
([ID])

----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Children].[FK_Children_Parents]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Children_Parents]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Children] DROP CONSTRAINT [FK_Children_Parents]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Children]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Parents]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Children] WITH NOCHECK ADD
		CONSTRAINT [FK_Children_Parents]
		FOREIGN KEY ([ParentID])
		REFERENCES [dbo].[Parents] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Postings].[FK_Postings_Code]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Postings_Code]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Postings] DROP CONSTRAINT [FK_Postings_Code]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Postings]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Codes]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Postings] WITH NOCHECK ADD
		CONSTRAINT [FK_Postings_Code]
		FOREIGN KEY ([LedgerCode])
		REFERENCES [dbo].[Codes] ([Code])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [dbo].[Postings].[FK_Postings_Ledgers]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Postings_Ledgers]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Postings] DROP CONSTRAINT [FK_Postings_Ledgers]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Postings]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Ledgers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Postings] WITH NOCHECK ADD
		CONSTRAINT [FK_Postings_Ledgers]
		FOREIGN KEY ([LedgerID])
		REFERENCES [dbo].[Ledgers] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Relation [app].[Items].[FK.Items Parent]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[app].[FK.Items Parent]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [app].[Items] DROP CONSTRAINT [FK.Items Parent]
if exists (select * from dbo.sysobjects where id = object_id('[app].[Items]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Parents]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [app].[Items] WITH NOCHECK ADD
		CONSTRAINT [FK.Items Parent]
		FOREIGN KEY ([ParentID])
		REFERENCES [dbo].[Parents] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Relation [dbo].[Entries].[FK_Entries_Accounts]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Entries_Accounts]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Entries] DROP CONSTRAINT [FK_Entries_Accounts]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Entries]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Accounts]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Entries] ADD
		CONSTRAINT [FK_Entries_Accounts]
		FOREIGN KEY ([AccountID],[Branch])
		REFERENCES [dbo].[Accounts] ([ID],[Branch])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Relation [dbo].[Supplies].[FK_Supplies_Vendors]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[FK_Supplies_Vendors]') and OBJECTPROPERTY(id, 'IsForeignKey') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	ALTER TABLE [dbo].[Supplies] DROP CONSTRAINT [FK_Supplies_Vendors]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Supplies]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Suppliers]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
		BEGIN
		ALTER TABLE [dbo].[Supplies] ADD
		CONSTRAINT [FK_Supplies_Vendors]
		FOREIGN KEY ([SupplierID])
		REFERENCES [dbo].[Suppliers] ([ID])
		END
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Permission [dbo].[Parents].[public]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Parents]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	
	GRANT UPDATE ON [dbo].[Parents] ([Code],[Name])
	TO [public]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Permission [dbo].[Parents].[public]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Parents]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	REVOKE ALL ON [dbo].[Parents]
	FROM [public]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Parents]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	
	GRANT UPDATE ON [dbo].[Parents] ([Code],[Name])
	TO [public]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
