EXEC sp_fulltext_database 'enable'
CREATE TABLE D (I int NOT NULL CONSTRAINT PK_D PRIMARY KEY, T ntext NULL)
EXEC sp_fulltext_catalog 'C', 'create'
exec sp_fulltext_table '[dbo].[D]', 'create', 'C', 'PK_D'
exec sp_fulltext_column '[dbo].[D]', 'T', 'add', 1033
exec sp_fulltext_table '[dbo].[D]', 'Activate'
exec sp_fulltext_table '[dbo].[D]', 'start_change_tracking'
exec sp_fulltext_table '[dbo].[D]', 'Start_background_updateindex'
exec sp_fulltext_column '[dbo].[D]', 'T', 'drop'
exec sp_fulltext_table '[dbo].[D]', 'deactivate'
exec sp_fulltext_table '[dbo].[D]', 'drop'
