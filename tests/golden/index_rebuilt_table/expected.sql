-- SCRIPT RECREATE for Index [dbo].[T].[PK_T]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED
([ID])
ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Index [dbo].[T].[IX_A]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE NONCLUSTERED INDEX [IX_A] ON [dbo].[T]
([A])
WITH FILLFACTOR = 70 ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT RECREATE for Index [dbo].[T].[IX_New]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE NONCLUSTERED INDEX [IX_New] ON [dbo].[T]
([B])
ON [PRIMARY]
GO
--------------------------------------------------------------------------------
