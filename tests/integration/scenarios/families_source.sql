-- Source of the object-family round trip: keys, indexes, defaults, checks, a foreign key, code
-- objects of every kind, a role and its permissions.
CREATE DATABASE famsrc
GO
USE famsrc
GO
CREATE TABLE dbo.Customers (
    ID int NOT NULL CONSTRAINT PK_Customers PRIMARY KEY CLUSTERED,
    Name nvarchar (40) NOT NULL,
    Region int NULL CONSTRAINT DF_Customers_Region DEFAULT (1)
)
GO
CREATE TABLE dbo.Orders (
    OrderID int NOT NULL CONSTRAINT PK_Orders PRIMARY KEY NONCLUSTERED,
    CustomerID int NOT NULL,
    Qty int NOT NULL CONSTRAINT DF_Orders_Qty DEFAULT (1),
    CONSTRAINT CK_Orders_Qty CHECK (Qty > 0)
)
GO
ALTER TABLE dbo.Orders ADD CONSTRAINT FK_Orders_Customers FOREIGN KEY (CustomerID)
    REFERENCES dbo.Customers (ID) ON DELETE CASCADE
GO
CREATE UNIQUE INDEX IX_Customers_Name ON dbo.Customers (Name) WITH IGNORE_DUP_KEY
GO
CREATE INDEX IX_Orders_Customer ON dbo.Orders (CustomerID, OrderID)
GO
CREATE VIEW dbo.BigOrders AS SELECT OrderID, Qty FROM dbo.Orders WHERE Qty > 10
GO
CREATE PROCEDURE dbo.GetOrders;1 AS SELECT OrderID FROM dbo.Orders
GO
CREATE PROCEDURE dbo.GetOrders;2 @id int AS SELECT OrderID FROM dbo.Orders WHERE OrderID = @id
GO
CREATE FUNCTION dbo.Twice (@x int) RETURNS int AS BEGIN RETURN @x * 2 END
GO
CREATE TRIGGER trOrders ON dbo.Orders FOR INSERT AS RETURN
GO
EXEC sp_addrole 'Clerks'
GO
GRANT SELECT, INSERT ON dbo.Orders TO Clerks
DENY DELETE ON dbo.Orders TO Clerks
GRANT UPDATE ON dbo.Customers (Name) TO Clerks
GRANT EXECUTE ON dbo.GetOrders TO Clerks
GO
