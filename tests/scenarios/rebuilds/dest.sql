-- Customers: no identity yet, Name shorter, Fax still there, no Rating. Invoices: Amount was
-- money, the key was clustered. Reminders is gone from the Source.
CREATE TABLE dbo.Customers (
    CustomerID int NOT NULL CONSTRAINT PK_Customers PRIMARY KEY CLUSTERED,
    Name nvarchar (40) NOT NULL,
    City nvarchar (40) NULL,
    Fax varchar (20) NULL
)
GO
CREATE INDEX UX_Customers_Name ON dbo.Customers (Name)
GO
CREATE TABLE dbo.Invoices (
    InvoiceID int IDENTITY (100, 10) NOT NULL CONSTRAINT PK_Invoices PRIMARY KEY CLUSTERED,
    CustomerID int NOT NULL CONSTRAINT FK_Invoices_Customers REFERENCES dbo.Customers (CustomerID),
    Amount money NOT NULL,
    Paid bit NOT NULL CONSTRAINT DF_Invoices_Paid DEFAULT (1)
)
GO
CREATE TABLE dbo.Payments (
    PaymentID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Payments PRIMARY KEY,
    InvoiceID int NOT NULL CONSTRAINT FK_Payments_Invoices REFERENCES dbo.Invoices (InvoiceID),
    Amount decimal (12, 2) NOT NULL
)
GO
CREATE TABLE dbo.Reminders (
    ReminderID int IDENTITY (1, 1) NOT NULL CONSTRAINT PK_Reminders PRIMARY KEY,
    InvoiceID int NOT NULL CONSTRAINT FK_Reminders_Invoices REFERENCES dbo.Invoices (InvoiceID)
)
GO
INSERT INTO dbo.Customers VALUES (7, 'Ammann', 'Bern', NULL)
INSERT INTO dbo.Customers VALUES (9, 'Brunner', NULL, '031 000 00 00')
GO
INSERT INTO dbo.Invoices (CustomerID, Amount, Paid) VALUES (7, 120.50, 1)
INSERT INTO dbo.Invoices (CustomerID, Amount, Paid) VALUES (9, 80.00, 0)
INSERT INTO dbo.Invoices (CustomerID, Amount, Paid) VALUES (9, 15.25, 0)
GO
INSERT INTO dbo.Payments (InvoiceID, Amount) VALUES (100, 120.50)
INSERT INTO dbo.Reminders (InvoiceID) VALUES (110)
GO
