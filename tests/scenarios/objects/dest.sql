CREATE TABLE dbo.Products (ID int NOT NULL CONSTRAINT PK_Products PRIMARY KEY, Name nvarchar(50) NOT NULL, Price money NOT NULL CONSTRAINT DF_Products_Price DEFAULT (0), Stock int NOT NULL CONSTRAINT CK_Products_Stock CHECK (Stock > 0))
GO
CREATE TABLE dbo.Sales (ID int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Sales PRIMARY KEY, ProductID int NOT NULL, Qty int NOT NULL)
GO
INSERT INTO dbo.Products (ID, Name, Price, Stock) VALUES (1, 'Tea', 2, 5)
GO
CREATE VIEW dbo.SalesView AS SELECT s.ID, s.Qty FROM dbo.Sales s
GO
CREATE PROCEDURE dbo.GetSales @id int AS SELECT ID FROM dbo.Sales WHERE ID = @id
GO
CREATE PROCEDURE dbo.Obsolete AS RETURN
GO
ALTER TABLE dbo.Sales ADD CONSTRAINT CK_Sales_Gone CHECK (Qty < 1000)
GO
CREATE INDEX IX_Sales_Old ON dbo.Sales (Qty)
GO
