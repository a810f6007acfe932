CREATE TABLE dbo.Customers (ClientID int NOT NULL CONSTRAINT PK_Clients PRIMARY KEY, Name nvarchar(60) NOT NULL)
GO
CREATE TABLE dbo.Notes (ID int NOT NULL, Body ntext NULL)
GO
