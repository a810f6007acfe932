-- A small shop database for the catalog loader tests: a clustered and a nonclustered key, a
-- heap, a foreign key, a default and a check, a procedure group, a trigger, object and column
-- permissions and a full-text index.
CREATE DATABASE shop
GO
USE shop
GO
CREATE TABLE dbo.Customers (
    CustomerID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Customers PRIMARY KEY CLUSTERED,
    Name nvarchar (40) NOT NULL,
    City nvarchar (20) NULL,
    Notes ntext NULL
)
GO
CREATE TABLE dbo.Orders (
    OrderID int NOT NULL CONSTRAINT PK_Orders PRIMARY KEY NONCLUSTERED,
    CustomerID int NOT NULL CONSTRAINT FK_Orders_Customers REFERENCES dbo.Customers (CustomerID),
    Total money NOT NULL CONSTRAINT DF_Orders_Total DEFAULT (0),
    CONSTRAINT CK_Orders_Total CHECK (Total >= 0)
)
GO
CREATE INDEX IX_Orders_Customer ON dbo.Orders (CustomerID, OrderID)
GO
CREATE TABLE dbo.Heap (ID int NOT NULL, Label varchar (10) NULL)
GO
CREATE PROCEDURE dbo.GetOrders;1 AS SELECT OrderID FROM dbo.Orders
GO
CREATE PROCEDURE dbo.GetOrders;2 @id int AS SELECT OrderID FROM dbo.Orders WHERE OrderID = @id
GO
CREATE TRIGGER trOrders ON dbo.Orders FOR INSERT AS RETURN
GO
GRANT SELECT ON dbo.Customers (Name, Notes) TO public
GRANT SELECT, INSERT ON dbo.Orders TO public
DENY DELETE ON dbo.Orders TO public
GRANT EXECUTE ON dbo.GetOrders TO public
GO
EXEC sp_fulltext_database 'enable'
EXEC sp_fulltext_catalog 'ShopCatalog', 'create'
EXEC sp_fulltext_table 'dbo.Customers', 'create', 'ShopCatalog', 'PK_Customers'
EXEC sp_fulltext_column 'dbo.Customers', 'Name', 'add', 1033
EXEC sp_fulltext_column 'dbo.Customers', 'Notes', 'add', 1033
GO
