-- User-defined data types: added before the tables that use them, dropped after the tables that
-- used them, a changed one dropped and added again; the rebuild of a table whose columns change to
-- such types converts the copied values to the system types (--ignore-data-loss). A bound default
-- is not scripted: the output ends with a warning.
EXEC sp_addtype id, 'varchar(11)', 'NOT NULL'
EXEC sp_addtype PhoneT, 'varchar(24)', 'NULL'
EXEC sp_addtype Amount, 'decimal(9, 2)'
GO
CREATE TABLE dbo.Authors (au_id id CONSTRAINT PK_Authors PRIMARY KEY, Phone PhoneT, Fee Amount NULL)
GO
CREATE DEFAULT dbo.D_NoFee AS 0
GO
EXEC sp_bindefault 'D_NoFee', 'Authors.Fee'
GO
