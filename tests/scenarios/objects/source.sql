CREATE TABLE dbo.Products (ID int NOT NULL CONSTRAINT PK_Products PRIMARY KEY, Name nvarchar(50) NOT NULL, Price money NOT NULL CONSTRAINT DF_Products_Price DEFAULT (1), Stock int NOT NULL CONSTRAINT CK_Products_Stock CHECK (Stock >= 0))
GO
CREATE INDEX IX_Products_Name ON dbo.Products (Name)
GO
CREATE TABLE dbo.Sales (ID int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Sales PRIMARY KEY, ProductID int NOT NULL CONSTRAINT FK_Sales_Products REFERENCES dbo.Products (ID), Qty int NOT NULL)
GO
CREATE TRIGGER trSales ON dbo.Sales FOR INSERT AS SET NOCOUNT ON
GO
CREATE VIEW dbo.SalesView AS SELECT s.ID, p.Name, s.Qty FROM dbo.Sales s INNER JOIN dbo.Products p ON p.ID = s.ProductID
GO
CREATE PROCEDURE dbo.GetSales @id int AS SELECT * FROM dbo.Sales WHERE ID = @id
GO
CREATE FUNCTION dbo.Twice (@x int) RETURNS int AS BEGIN RETURN @x * 2 END
GO
EXEC sp_addrole 'Clerks'
GO
GRANT SELECT ON dbo.SalesView TO Clerks
GO
