-- Changes to Northwind, run after instnwnd.sql: a Destination that drifted from the shipped
-- database. verify proves that the scripts bring it back:
--   tovimar-cli verify ../shared/samples/instnwnd.sql ../shared/samples/instnwnd.sql+examples/northwind_changes.sql
USE Northwind
GO
-- Columns: two added (one with a default), one widened, one dropped.
ALTER TABLE dbo.Customers ADD Email nvarchar (100) NULL
GO
ALTER TABLE dbo.Customers ADD Segment char (1) NOT NULL CONSTRAINT DF_Customers_Segment DEFAULT ('B')
GO
ALTER TABLE dbo.Products ALTER COLUMN QuantityPerUnit nvarchar (40) NULL
GO
ALTER TABLE dbo.Shippers DROP COLUMN Phone
GO
-- Indexes, defaults and checks.
DROP INDEX Products.SuppliersProducts
GO
CREATE INDEX IX_Orders_Freight ON dbo.Orders (Freight)
GO
ALTER TABLE dbo.Products DROP CONSTRAINT DF_Products_ReorderLevel
GO
ALTER TABLE dbo.Products ADD CONSTRAINT DF_Products_ReorderLevel DEFAULT (5) FOR ReorderLevel
GO
ALTER TABLE dbo.[Order Details] DROP CONSTRAINT CK_Quantity
GO
-- A table of its own with a foreign key into the shipped tables.
CREATE TABLE dbo.Promotions (
    PromotionID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Promotions PRIMARY KEY,
    ProductID int NOT NULL CONSTRAINT FK_Promotions_Products REFERENCES dbo.Products (ProductID),
    Discount real NOT NULL
)
GO
-- Code objects.
ALTER VIEW "Current Product List" AS
SELECT Product_List.ProductID, Product_List.ProductName, Product_List.UnitPrice
FROM Products AS Product_List
WHERE (((Product_List.Discontinued)=0))
GO
ALTER PROCEDURE CustOrderHist @CustomerID nchar(5)
AS
SELECT ProductName, Total=SUM(Quantity)
FROM Products P, [Order Details] OD, Orders O, Customers C
WHERE C.CustomerID = @CustomerID
AND C.CustomerID = O.CustomerID AND O.OrderID = OD.OrderID AND OD.ProductID = P.ProductID
GROUP BY ProductName
ORDER BY Total DESC
GO
DROP PROCEDURE CustOrdersOrders
GO
CREATE FUNCTION dbo.OrderCount (@CustomerID nchar (5)) RETURNS int
AS
BEGIN
    RETURN (SELECT COUNT(*) FROM dbo.Orders WHERE CustomerID = @CustomerID)
END
GO
CREATE TRIGGER trProducts_Price ON dbo.Products FOR UPDATE AS
IF UPDATE(UnitPrice) AND EXISTS (SELECT * FROM inserted WHERE UnitPrice > 1000)
BEGIN
    RAISERROR ('Price too high.', 16, 1)
    ROLLBACK TRANSACTION
END
GO
-- A role and its permissions.
EXEC sp_addrole 'Auditors'
GO
GRANT SELECT ON dbo.Orders TO Auditors
GRANT SELECT (CustomerID, CompanyName) ON dbo.Customers TO Auditors
GO
