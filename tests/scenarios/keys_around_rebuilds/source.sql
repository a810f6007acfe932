-- Foreign keys and keys around rebuilt and changed tables, and what a rebuild keeps that the
-- comparison does not look at (collations, file groups, disabled checks).
EXEC sp_adduser 'app'
GO
-- Parents is rebuilt (Code grows, Legacy goes); its name collation is not compared but must
-- survive; a view already holds the name Tmp_Parents; its column grant loses the dropped column.
CREATE TABLE dbo.Parents (ID int NOT NULL CONSTRAINT PK_Parents PRIMARY KEY, Code char(4) NOT NULL, Name varchar(40) COLLATE Latin1_General_BIN NULL)
GO
CREATE VIEW dbo.Tmp_Parents AS SELECT ID FROM dbo.Parents
GO
GRANT UPDATE (Code, Name) ON dbo.Parents TO public
GO
-- Children is rebuilt too: its foreign key is re-created once; its disabled check stays disabled
-- over rows that break it.
CREATE TABLE dbo.Children (ID int NOT NULL CONSTRAINT PK_Children PRIMARY KEY, ParentID int NULL CONSTRAINT FK_Children_Parents REFERENCES dbo.Parents (ID), Qty int NOT NULL CONSTRAINT CK_Children_Qty CHECK (Qty > 0))
GO
ALTER TABLE dbo.Children NOCHECK CONSTRAINT CK_Children_Qty
GO
-- The Destination's foreign key of Orphans goes away for good.
CREATE TABLE dbo.Orphans (ID int NOT NULL, ParentID int NULL)
GO
-- A table of another owner whose foreign key name holds a dot and a blank.
CREATE TABLE app.Items (ID int NOT NULL, ParentID int NULL CONSTRAINT [FK.Items Parent] REFERENCES dbo.Parents (ID))
GO
-- Keys that change under foreign keys: one in its columns, one in its kind of index.
CREATE TABLE dbo.Accounts (ID int NOT NULL, Branch int NOT NULL, CONSTRAINT PK_Accounts PRIMARY KEY (ID, Branch))
GO
CREATE TABLE dbo.Entries (ID int NOT NULL, AccountID int NOT NULL, Branch int NOT NULL, CONSTRAINT FK_Entries_Accounts FOREIGN KEY (AccountID, Branch) REFERENCES dbo.Accounts (ID, Branch))
GO
CREATE TABLE dbo.Ledgers (ID int NOT NULL CONSTRAINT PK_Ledgers PRIMARY KEY NONCLUSTERED)
GO
CREATE TABLE dbo.Codes (Code char(3) NOT NULL CONSTRAINT UQ_Codes UNIQUE CLUSTERED)
GO
CREATE TABLE dbo.Postings (ID int NOT NULL, LedgerID int NOT NULL CONSTRAINT FK_Postings_Ledgers REFERENCES dbo.Ledgers (ID), LedgerCode char(3) NULL CONSTRAINT FK_Postings_Code REFERENCES dbo.Codes (Code))
GO
-- Suppliers is the Destination's Vendors, renamed and rebuilt: the foreign key to it follows
-- the new name.
CREATE TABLE dbo.Suppliers (ID int NOT NULL CONSTRAINT PK_Vendors PRIMARY KEY, Name varchar(60) NOT NULL, Phone varchar(20) NULL)
GO
CREATE TABLE dbo.Supplies (ID int NOT NULL, SupplierID int NOT NULL CONSTRAINT FK_Supplies_Vendors REFERENCES dbo.Suppliers (ID))
GO
-- Two columns dropped: no rebuild, however many passes the other tables need.
CREATE TABLE dbo.Wide (ID int NOT NULL, A int NULL, B int NULL)
GO
-- Excluded from the comparison: its permissions are left alone.
CREATE TABLE dbo.Excluded (ID int NOT NULL)
GO
-- A name of 125 characters: the temporary table's name is cut to fit.
CREATE TABLE dbo.Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx (ID int NOT NULL, V int NULL)
GO
