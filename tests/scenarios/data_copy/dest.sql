CREATE TABLE dbo.Settings (ID int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Settings PRIMARY KEY, Name varchar(20) NOT NULL, Value nvarchar(100) NULL, Secret varchar(10) NULL)
GO
INSERT INTO dbo.Settings (Name, Value) VALUES ('Local', N'mine')
GO
CREATE TABLE dbo.Rates (ID int NOT NULL CONSTRAINT PK_Rates PRIMARY KEY, Region varchar(10) NULL, Amount int NOT NULL, Total AS Amount * 2)
GO
INSERT INTO dbo.Rates (ID, Region, Amount) VALUES (5, 'EU', 50)
INSERT INTO dbo.Rates (ID, Region, Amount) VALUES (6, NULL, 60)
GO
