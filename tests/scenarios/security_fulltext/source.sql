-- Full-text catalog and index, roles with members, permissions with column grants, a procedure
-- group, views on views, a function and triggers.
EXEC sp_fulltext_database 'enable'
GO
EXEC sp_fulltext_catalog 'DocsCatalog', 'create'
GO
EXEC sp_fulltext_catalog 'NotesCatalog', 'create'
GO
EXEC sp_addrole 'Readers'
GO
EXEC sp_addrole 'Editors'
GO
EXEC sp_addrole 'Staff'
GO
EXEC sp_addrolemember 'Readers', 'Staff'
GO
CREATE TABLE dbo.Docs (
    DocID int NOT NULL CONSTRAINT PK_Docs PRIMARY KEY,
    Title nvarchar (100) NOT NULL,
    Body ntext NULL,
    Secret varchar (20) NULL
)
GO
EXEC sp_fulltext_table 'dbo.Docs', 'create', 'DocsCatalog', 'PK_Docs'
GO
EXEC sp_fulltext_column 'dbo.Docs', 'Title', 'add', 1033
GO
EXEC sp_fulltext_column 'dbo.Docs', 'Body', 'add', 1033
GO
EXEC sp_fulltext_table 'dbo.Docs', 'activate'
GO
CREATE VIEW dbo.DocTitles AS SELECT DocID, Title FROM dbo.Docs
GO
CREATE VIEW dbo.ShortTitles AS SELECT DocID, Title FROM dbo.DocTitles WHERE LEN(Title) < 20
GO
CREATE FUNCTION dbo.TitleLength (@id int) RETURNS int AS
BEGIN
    RETURN (SELECT LEN(Title) FROM dbo.Docs WHERE DocID = @id)
END
GO
CREATE PROCEDURE dbo.GetDoc;1 @id int AS SELECT DocID, Title FROM dbo.Docs WHERE DocID = @id
GO
CREATE PROCEDURE dbo.GetDoc;2 @title nvarchar (100) AS SELECT DocID FROM dbo.Docs WHERE Title = @title
GO
CREATE TRIGGER trDocs_Title ON dbo.Docs FOR UPDATE AS
IF UPDATE(Title) RETURN
GO
GRANT SELECT ON dbo.DocTitles TO Readers
GRANT SELECT (DocID, Title) ON dbo.Docs TO Readers
DENY SELECT (Secret) ON dbo.Docs TO Readers
GRANT UPDATE (Title, Body) ON dbo.Docs TO Editors
GRANT EXECUTE ON dbo.GetDoc TO Readers
GO
