CREATE TABLE dbo.Settings (ID int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Settings PRIMARY KEY, Name varchar(40) NOT NULL, Value nvarchar(100) NULL, Secret varchar(10) NULL)
GO
SET IDENTITY_INSERT dbo.Settings ON
INSERT INTO dbo.Settings (ID, Name, Value, Secret) VALUES (1, 'Version', N'2.0', 'x')
INSERT INTO dbo.Settings (ID, Name, Value, Secret) VALUES (2, 'Owner''s name', NULL, 'y')
INSERT INTO dbo.Settings (ID, Name, Value, Secret) VALUES (3, 'Local', N'keep', 'z')
SET IDENTITY_INSERT dbo.Settings OFF
GO
-- A computed column takes no copied value; old rows whose condition is NULL (no region) are kept.
CREATE TABLE dbo.Rates (ID int NOT NULL CONSTRAINT PK_Rates PRIMARY KEY, Region varchar(10) NULL, Amount int NOT NULL, Total AS Amount * 2)
GO
INSERT INTO dbo.Rates (ID, Region, Amount) VALUES (1, 'EU', 10)
INSERT INTO dbo.Rates (ID, Region, Amount) VALUES (2, 'US', 20)
GO
