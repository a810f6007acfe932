EXEC sp_adduser 'app'
GO
CREATE TABLE dbo.Parents (ID int NOT NULL CONSTRAINT PK_Parents PRIMARY KEY, Code char(2) NOT NULL, Name varchar(40) COLLATE Latin1_General_BIN NULL, Legacy int NULL)
GO
CREATE VIEW dbo.Tmp_Parents AS SELECT ID FROM dbo.Parents
GO
GRANT UPDATE (Code, Name, Legacy) ON dbo.Parents TO public
GO
INSERT INTO dbo.Parents (ID, Code, Name) VALUES (1, 'P1', 'One')
INSERT INTO dbo.Parents (ID, Code, Name) VALUES (2, 'P2', 'Two')
GO
CREATE TABLE dbo.Children (ID int NOT NULL CONSTRAINT PK_Children PRIMARY KEY, ParentID int NULL CONSTRAINT FK_Children_Parents REFERENCES dbo.Parents (ID), Qty smallint NOT NULL CONSTRAINT CK_Children_Qty CHECK (Qty > 0))
GO
ALTER TABLE dbo.Children NOCHECK CONSTRAINT CK_Children_Qty
GO
INSERT INTO dbo.Children (ID, ParentID, Qty) VALUES (1, 1, -1)
GO
CREATE TABLE dbo.Orphans (ID int NOT NULL, ParentID int NULL CONSTRAINT FK_Orphans_Parents REFERENCES dbo.Parents (ID))
GO
INSERT INTO dbo.Orphans (ID, ParentID) VALUES (1, 2)
GO
CREATE TABLE app.Items (ID int NOT NULL, ParentID int NULL CONSTRAINT [FK.Items Parent] REFERENCES dbo.Parents (ID))
GO
INSERT INTO app.Items (ID, ParentID) VALUES (1, 1)
GO
CREATE TABLE dbo.Accounts (ID int NOT NULL, Branch int NOT NULL, CONSTRAINT PK_Accounts PRIMARY KEY (ID))
GO
CREATE TABLE dbo.Entries (ID int NOT NULL, AccountID int NOT NULL, Branch int NOT NULL, CONSTRAINT FK_Entries_Accounts FOREIGN KEY (AccountID) REFERENCES dbo.Accounts (ID))
GO
INSERT INTO dbo.Accounts (ID, Branch) VALUES (1, 7)
INSERT INTO dbo.Entries (ID, AccountID, Branch) VALUES (1, 1, 7)
GO
CREATE TABLE dbo.Ledgers (ID int NOT NULL CONSTRAINT PK_Ledgers PRIMARY KEY CLUSTERED)
GO
CREATE TABLE dbo.Codes (Code char(3) NOT NULL CONSTRAINT UQ_Codes UNIQUE NONCLUSTERED)
GO
CREATE TABLE dbo.Postings (ID int NOT NULL, LedgerID int NOT NULL CONSTRAINT FK_Postings_Ledgers REFERENCES dbo.Ledgers (ID), LedgerCode char(3) NULL CONSTRAINT FK_Postings_Code REFERENCES dbo.Codes (Code))
GO
INSERT INTO dbo.Ledgers (ID) VALUES (1)
INSERT INTO dbo.Codes (Code) VALUES ('L01')
INSERT INTO dbo.Postings (ID, LedgerID, LedgerCode) VALUES (1, 1, 'L01')
GO
CREATE TABLE dbo.Vendors (ID int NOT NULL CONSTRAINT PK_Vendors PRIMARY KEY, Name varchar(40) NOT NULL, Phone varchar(20) NULL, Fax varchar(20) NULL)
GO
CREATE TABLE dbo.Supplies (ID int NOT NULL, SupplierID int NOT NULL CONSTRAINT FK_Supplies_Vendors REFERENCES dbo.Vendors (ID))
GO
INSERT INTO dbo.Vendors (ID, Name) VALUES (1, 'V')
INSERT INTO dbo.Supplies (ID, SupplierID) VALUES (1, 1)
GO
CREATE TABLE dbo.Wide (ID int NOT NULL, A int NULL, B int NULL, C int NULL, D int NULL)
GO
CREATE TABLE dbo.Excluded (ID int NOT NULL)
GO
GRANT SELECT ON dbo.Excluded TO public
GO
CREATE TABLE dbo.Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx (ID int NOT NULL, V smallint NULL)
GO
INSERT INTO dbo.Longxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx (ID, V) VALUES (1, 2)
GO
