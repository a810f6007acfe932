-- SCRIPT CREATE for Table [dbo].[Every Form]
--------------------------------------------------------------------------------
CREATE TABLE [dbo].[Every Form] (
[ID][int] IDENTITY (100, 5) NOT FOR REPLICATION NOT NULL, 
[Code][char] (3) COLLATE Latin1_General_CI_AS NOT NULL, 
[Title][NVARCHAR] (40) NULL CONSTRAINT [DF_Title] DEFAULT (N'none'), 
[Price][decimal] (18, 2) NOT NULL CONSTRAINT [DF_Price] DEFAULT (0), 
[Amount][numeric] (9, 0) NULL, 
[Raw][varbinary] (16) NULL, 
[Notes][text] NULL, 
[Created][datetime] NOT NULL, 
[Guid][uniqueidentifier] ROWGUIDCOL NOT NULL CONSTRAINT [DF_Guid] DEFAULT (newid()), 
[Total] AS ([Price] * 2) CONSTRAINT [DF_Total] DEFAULT (1), 
[Ver][timestamp] NOT NULL, 
[Odd]]Name][int] NULL
) ON [PRIMARY] TEXTIMAGE_ON [TEXTGROUP]
GO
--------------------------------------------------------------------------------
