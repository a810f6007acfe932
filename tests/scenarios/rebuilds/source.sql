-- Tables rebuilt with identity and their rows, foreign keys of rebuilt and dropped tables, keys
-- and indexes, columns added, dropped and changed, defaults and checks.
CREATE TABLE dbo.Customers (
    CustomerID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Customers PRIMARY KEY CLUSTERED,
    Name nvarchar (80) NOT NULL,
    City nvarchar (40) NULL,
    Rating tinyint NOT NULL CONSTRAINT DF_Customers_Rating DEFAULT (3),
    CONSTRAINT CK_Customers_Rating CHECK (Rating BETWEEN 1 AND 5)
)
GO
CREATE UNIQUE INDEX UX_Customers_Name ON dbo.Customers (Name)
GO
CREATE TABLE dbo.Invoices (
    InvoiceID int IDENTITY (100, 10) NOT NULL CONSTRAINT PK_Invoices PRIMARY KEY NONCLUSTERED,
    CustomerID int NOT NULL CONSTRAINT FK_Invoices_Customers REFERENCES dbo.Customers (CustomerID),
    Amount decimal (12, 2) NOT NULL,
    Paid bit NOT NULL CONSTRAINT DF_Invoices_Paid DEFAULT (0)
)
GO
CREATE CLUSTERED INDEX IX_Invoices_Customer ON dbo.Invoices (CustomerID, InvoiceID)
GO
CREATE TABLE dbo.Payments (
    PaymentID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Payments PRIMARY KEY,
    InvoiceID int NOT NULL CONSTRAINT FK_Payments_Invoices REFERENCES dbo.Invoices (InvoiceID) ON DELETE CASCADE,
    Amount decimal (12, 2) NOT NULL
)
GO
