-- The Destination sample database: the bookshop as it runs in production, one release behind
-- source.sql, with data in its tables.
CREATE DATABASE Bookshop
GO
USE Bookshop
GO
EXEC sp_addrole 'Clerks'
GO
EXEC sp_addrole 'Interns'
GO

CREATE TABLE dbo.Authors (
    AuthorID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Authors PRIMARY KEY CLUSTERED,
    LastName nvarchar (40) NOT NULL,
    FirstName nvarchar (40) NULL,
    Country char (2) NOT NULL CONSTRAINT DF_Authors_Country DEFAULT ('DE'),
    Fax varchar (20) NULL
)
GO
CREATE INDEX IX_Authors_Name ON dbo.Authors (LastName)
GO

CREATE TABLE dbo.Books (
    BookID int NOT NULL CONSTRAINT PK_Books PRIMARY KEY NONCLUSTERED,
    ISBN char (13) NOT NULL,
    Title nvarchar (200) NOT NULL,
    AuthorID int NOT NULL CONSTRAINT FK_Books_Authors REFERENCES dbo.Authors (AuthorID),
    Price money NOT NULL CONSTRAINT DF_Books_Price DEFAULT (0),
    Published datetime NULL
)
GO
CREATE INDEX IX_Books_Title ON dbo.Books (Title)
GO
CREATE INDEX IX_Books_Published ON dbo.Books (Published)
GO

CREATE TABLE dbo.Orders (
    OrderID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Orders PRIMARY KEY,
    OrderDate datetime NOT NULL CONSTRAINT DF_Orders_OrderDate DEFAULT (getdate()),
    Customer nvarchar (80) NOT NULL,
    Status tinyint NOT NULL CONSTRAINT DF_Orders_Status DEFAULT (0)
)
GO
CREATE TABLE dbo.OrderLines (
    OrderID int NOT NULL CONSTRAINT FK_OrderLines_Orders REFERENCES dbo.Orders (OrderID),
    LineNo smallint NOT NULL,
    BookID int NOT NULL CONSTRAINT FK_OrderLines_Books REFERENCES dbo.Books (BookID),
    Qty int NOT NULL,
    CONSTRAINT PK_OrderLines PRIMARY KEY (OrderID, LineNo)
)
GO

-- Wishes: dropped in the Source, with its foreign key to Books.
CREATE TABLE dbo.Wishes (
    WishID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Wishes PRIMARY KEY,
    BookID int NOT NULL CONSTRAINT FK_Wishes_Books REFERENCES dbo.Books (BookID),
    Customer nvarchar (80) NOT NULL
)
GO

CREATE VIEW dbo.BookList AS
SELECT b.BookID, b.Title, a.LastName AS Author, b.Price
FROM dbo.Books b INNER JOIN dbo.Authors a ON a.AuthorID = b.AuthorID
GO
CREATE VIEW dbo.ExpensiveBooks AS
SELECT BookID, Title, Author, Price FROM dbo.BookList WHERE Price > 50
GO

CREATE PROCEDURE dbo.FindBooks;1 @title nvarchar (200) AS
SELECT BookID, Title FROM dbo.Books WHERE Title LIKE @title + '%'
GO

-- Gone in the Source.
CREATE PROCEDURE dbo.OldStock AS
SELECT BookID FROM dbo.Books WHERE Published < '19900101'
GO

CREATE TRIGGER trOrderLines_Qty ON dbo.OrderLines FOR INSERT AS
IF EXISTS (SELECT * FROM inserted WHERE Qty > 50)
BEGIN
    RAISERROR ('An order line holds at most 50 books.', 16, 1)
    ROLLBACK TRANSACTION
END
GO

GRANT SELECT ON dbo.BookList TO Clerks
GRANT EXECUTE ON dbo.FindBooks TO Clerks
GRANT SELECT ON dbo.Orders TO Clerks
GRANT SELECT ON dbo.Authors TO Interns
GO

INSERT INTO dbo.Authors (LastName, FirstName, Country, Fax) VALUES ('Keller', 'Gottfried', 'CH', NULL)
INSERT INTO dbo.Authors (LastName, FirstName, Country, Fax) VALUES ('Spyri', 'Johanna', 'CH', '+41 44 000 00 00')
INSERT INTO dbo.Authors (LastName, FirstName, Country, Fax) VALUES ('Walser', 'Robert', 'CH', NULL)
GO
INSERT INTO dbo.Books (BookID, ISBN, Title, AuthorID, Price, Published) VALUES (1000, '9783150000106', 'Der gruene Heinrich', 1, 24.50, '18540101')
INSERT INTO dbo.Books (BookID, ISBN, Title, AuthorID, Price, Published) VALUES (1001, '9783150075104', 'Heidis Lehr- und Wanderjahre', 2, 12.00, '18800101')
INSERT INTO dbo.Books (BookID, ISBN, Title, AuthorID, Price, Published) VALUES (1002, '9783518376041', 'Der Gehuelfe', 3, 68.00, '19080101')
INSERT INTO dbo.Books (BookID, ISBN, Title, AuthorID, Price, Published) VALUES (1005, '9783518390009', 'Jakob von Gunten', 3, 55.00, '19090101')
GO
INSERT INTO dbo.Orders (OrderDate, Customer, Status) VALUES ('20240105', 'Meier', 1)
INSERT INTO dbo.Orders (OrderDate, Customer, Status) VALUES ('20240107', 'Huber', 0)
GO
INSERT INTO dbo.OrderLines (OrderID, LineNo, BookID, Qty) VALUES (1, 1, 1000, 2)
INSERT INTO dbo.OrderLines (OrderID, LineNo, BookID, Qty) VALUES (1, 2, 1002, 1)
INSERT INTO dbo.OrderLines (OrderID, LineNo, BookID, Qty) VALUES (2, 1, 1005, 3)
GO
INSERT INTO dbo.Wishes (BookID, Customer) VALUES (1001, 'Huber')
GO
