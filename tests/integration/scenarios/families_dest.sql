-- Destination of the object-family round trip: every family differs from the Source somehow.
CREATE DATABASE famdst
GO
USE famdst
GO
CREATE TABLE dbo.Customers (
    ID int NOT NULL CONSTRAINT PK_Customers PRIMARY KEY CLUSTERED,
    Name nvarchar (40) NOT NULL,
    Region int NULL CONSTRAINT DF_Customers_Region DEFAULT (0)
)
GO
CREATE TABLE dbo.Orders (
    OrderID int NOT NULL CONSTRAINT PK_Orders PRIMARY KEY NONCLUSTERED,
    CustomerID int NOT NULL,
    Qty int NOT NULL CONSTRAINT DF_Orders_Qty DEFAULT (1),
    CONSTRAINT CK_Orders_Qty CHECK (Qty >= 0),
    CONSTRAINT CK_Orders_Gone CHECK (Qty < 1000)
)
GO
ALTER TABLE dbo.Orders ADD CONSTRAINT FK_Orders_Customers FOREIGN KEY (CustomerID)
    REFERENCES dbo.Customers (ID)
GO
CREATE INDEX IX_Orders_Customer ON dbo.Orders (CustomerID, OrderID)
GO
CREATE VIEW dbo.BigOrders AS SELECT OrderID, Qty FROM dbo.Orders WHERE Qty > 10
GO
CREATE PROCEDURE dbo.GetOrders AS SELECT OrderID FROM dbo.Orders
GO
CREATE FUNCTION dbo.Twice (@x int) RETURNS int AS BEGIN RETURN @x * 3 END
GO
CREATE TRIGGER [tr Old] ON dbo.Orders FOR DELETE AS RETURN
GO
EXEC sp_addrole 'Gone'
GO
GRANT SELECT ON dbo.Orders TO public
GO
