CREATE TABLE t (x int NULL, y int NULL)
EXEC sp_addrole 'r'
EXEC sp_adduser 'u'
EXEC sp_addrolemember 'r', 'u'
GRANT SELECT ON [dbo].[t] ([x]) TO [r] AS [dbo]
DENY UPDATE, REFERENCES ON [dbo].[t] ([x],[y]) TO [u]
REVOKE ALL ON [dbo].[t] FROM [u] CASCADE
EXEC sp_droprolemember 'r', 'u'
EXEC sp_droprole 'r'
EXEC sp_fulltext_database 'enable'
EXEC sp_fulltext_catalog 'C', 'create'
