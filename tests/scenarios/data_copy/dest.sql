CREATE TABLE dbo.Settings (ID int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Settings PRIMARY KEY, Name varchar(20) NOT NULL, Value nvarchar(100) NULL, Secret varchar(10) NULL)
GO
INSERT INTO dbo.Settings (Name, Value) VALUES ('Local', N'mine')
GO
