EXEC sp_fulltext_database 'enable'
GO
EXEC sp_fulltext_catalog 'DocsCatalog', 'create'
GO
EXEC sp_fulltext_catalog 'OldCatalog', 'create'
GO
EXEC sp_addrole 'Readers'
GO
EXEC sp_addrole 'Auditors'
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
EXEC sp_fulltext_table 'dbo.Docs', 'activate'
GO
CREATE VIEW dbo.DocTitles AS SELECT DocID, Title, Secret FROM dbo.Docs
GO
CREATE VIEW dbo.ShortTitles AS SELECT DocID, Title FROM dbo.DocTitles WHERE LEN(Title) < 10
GO
CREATE FUNCTION dbo.TitleLength (@id int) RETURNS int AS
BEGIN
    RETURN (SELECT DATALENGTH(Title) FROM dbo.Docs WHERE DocID = @id)
END
GO
CREATE PROCEDURE dbo.GetDoc;1 @id int AS SELECT * FROM dbo.Docs WHERE DocID = @id
GO
CREATE PROCEDURE dbo.GetDoc;2 @title nvarchar (100) AS SELECT DocID FROM dbo.Docs WHERE Title = @title
GO
CREATE PROCEDURE dbo.GetDoc;3 AS SELECT COUNT(*) FROM dbo.Docs
GO
CREATE TRIGGER trDocs_Delete ON dbo.Docs FOR DELETE AS RETURN
GO
GRANT SELECT ON dbo.DocTitles TO Readers
GRANT SELECT ON dbo.Docs TO Readers
GRANT SELECT ON dbo.Docs TO Auditors
GO
INSERT INTO dbo.Docs VALUES (1, 'Readme', 'Read me first.', NULL)
INSERT INTO dbo.Docs VALUES (2, 'Licence', NULL, 'x')
GO
