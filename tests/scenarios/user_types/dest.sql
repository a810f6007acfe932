EXEC sp_addtype PhoneT, 'varchar(24)', 'NULL'
EXEC sp_addtype Amount, 'decimal(7, 2)'
EXEC sp_addtype OldT, 'int'
GO
CREATE TABLE dbo.Authors (au_id varchar(11) NOT NULL CONSTRAINT PK_Authors PRIMARY KEY, Phone varchar(24) NULL)
GO
INSERT INTO dbo.Authors (au_id, Phone) VALUES ('172-32-1176', '408 496-7223')
GO
CREATE TABLE dbo.Legacy (ID OldT NOT NULL)
GO
