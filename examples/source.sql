-- The Source sample database: the bookshop schema as development has it now. Compare it with
-- destination.sql, the same shop as it runs in production, one release behind:
--   tovimar-cli compare examples/source.sql examples/destination.sql --summary
CREATE DATABASE BookshopDev
GO
USE BookshopDev
GO
EXEC sp_addrole 'Clerks'
GO
EXEC sp_addrole 'Managers'
GO
EXEC sp_fulltext_database 'enable'
GO
EXEC sp_fulltext_catalog 'BookshopCatalog', 'create'
GO

-- Authors: LastName is longer, Email is new, Fax is gone, the country default and check changed.
CREATE TABLE dbo.Authors (
    AuthorID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Authors PRIMARY KEY CLUSTERED,
    LastName nvarchar (60) NOT NULL,
    FirstName nvarchar (40) NULL,
    Country char (2) NOT NULL CONSTRAINT DF_Authors_Country DEFAULT ('CH'),
    Email varchar (100) NULL,
    CONSTRAINT CK_Authors_Country CHECK (Country LIKE '[A-Z][A-Z]')
)
GO
CREATE INDEX IX_Authors_Name ON dbo.Authors (LastName, FirstName)
GO

-- Books: the key is an identity now, so the table is rebuilt and its rows are copied.
CREATE TABLE dbo.Books (
    BookID int IDENTITY (1000, 1) NOT NULL CONSTRAINT PK_Books PRIMARY KEY NONCLUSTERED,
    ISBN char (13) NOT NULL CONSTRAINT UQ_Books_ISBN UNIQUE,
    Title nvarchar (200) NOT NULL,
    AuthorID int NOT NULL CONSTRAINT FK_Books_Authors REFERENCES dbo.Authors (AuthorID),
    Price money NOT NULL CONSTRAINT DF_Books_Price DEFAULT (0),
    Published datetime NULL,
    CONSTRAINT CK_Books_Price CHECK (Price >= 0)
)
GO
CREATE CLUSTERED INDEX IX_Books_Title ON dbo.Books (Title)
GO
EXEC sp_fulltext_table 'dbo.Books', 'create', 'BookshopCatalog', 'PK_Books'
GO
EXEC sp_fulltext_column 'dbo.Books', 'Title', 'add', 1033
GO
EXEC sp_fulltext_table 'dbo.Books', 'activate'
GO

CREATE TABLE dbo.Orders (
    OrderID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Orders PRIMARY KEY,
    OrderDate datetime NOT NULL CONSTRAINT DF_Orders_OrderDate DEFAULT (getdate()),
    Customer nvarchar (80) NOT NULL,
    Status tinyint NOT NULL CONSTRAINT DF_Orders_Status DEFAULT (0)
)
GO

-- OrderLines: its foreign key to Books is dropped and made again around the rebuild of Books.
CREATE TABLE dbo.OrderLines (
    OrderID int NOT NULL CONSTRAINT FK_OrderLines_Orders REFERENCES dbo.Orders (OrderID) ON DELETE CASCADE,
    LineNo smallint NOT NULL,
    BookID int NOT NULL CONSTRAINT FK_OrderLines_Books REFERENCES dbo.Books (BookID),
    Qty int NOT NULL CONSTRAINT CK_OrderLines_Qty CHECK (Qty > 0),
    CONSTRAINT PK_OrderLines PRIMARY KEY (OrderID, LineNo)
)
GO

-- A view on a view: BookList is changed, ExpensiveBooks reads it.
CREATE VIEW dbo.BookList AS
SELECT b.BookID, b.Title, a.LastName AS Author, b.Price, b.Published
FROM dbo.Books b INNER JOIN dbo.Authors a ON a.AuthorID = b.AuthorID
GO
CREATE VIEW dbo.ExpensiveBooks AS
SELECT BookID, Title, Author, Price FROM dbo.BookList WHERE Price > 50
GO

CREATE FUNCTION dbo.NetPrice (@price money, @rate decimal (5, 2)) RETURNS money
AS
BEGIN
    RETURN @price * (100 - @rate) / 100
END
GO

-- A procedure group: FindBooks;1 changed, FindBooks;2 new.
CREATE PROCEDURE dbo.FindBooks;1 @title nvarchar (200) AS
SELECT BookID, Title, Author FROM dbo.BookList WHERE Title LIKE @title + '%' ORDER BY Title
GO
CREATE PROCEDURE dbo.FindBooks;2 @author nvarchar (60) AS
SELECT BookID, Title, Author FROM dbo.BookList WHERE Author = @author
GO

CREATE TRIGGER trOrderLines_Qty ON dbo.OrderLines FOR INSERT, UPDATE AS
IF EXISTS (SELECT * FROM inserted WHERE Qty > 100)
BEGIN
    RAISERROR ('An order line holds at most 100 books.', 16, 1)
    ROLLBACK TRANSACTION
END
GO

GRANT SELECT ON dbo.BookList TO Clerks
GRANT SELECT ON dbo.ExpensiveBooks TO Managers
GRANT EXECUTE ON dbo.FindBooks TO Clerks
GRANT SELECT, INSERT ON dbo.Orders TO Clerks
GRANT UPDATE (Status) ON dbo.Orders TO Clerks
GRANT UPDATE (Price) ON dbo.Books TO Managers
DENY DELETE ON dbo.Orders TO Clerks
GO

INSERT INTO dbo.Authors (LastName, FirstName, Country, Email) VALUES ('Keller', 'Gottfried', 'CH', NULL)
INSERT INTO dbo.Authors (LastName, FirstName, Country, Email) VALUES ('Spyri', 'Johanna', 'CH', 'heidi@example.org')
GO
