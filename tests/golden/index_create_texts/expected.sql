-- SCRIPT CREATE for Index [dbo].[T].[PK_T]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED
([ID])
WITH FILLFACTOR = 90 ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[T].[UQ_T_A]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [UQ_T_A] UNIQUE NONCLUSTERED
([A])
ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[T].[IX_T]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE UNIQUE NONCLUSTERED INDEX [IX_T] ON [dbo].[T]
([A],[B])
WITH IGNORE_DUP_KEY ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[T].[IX_T_Clustered]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE CLUSTERED INDEX [IX_T_Clustered] ON [dbo].[T]
([B])
WITH FILLFACTOR = 80, PAD_INDEX, STATISTICS_NORECOMPUTE ON [SECOND]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[T].[IX_T_Pad]
--------------------------------------------------------------------------------
SET ARITHABORT ON
CREATE NONCLUSTERED INDEX [IX_T_Pad] ON [dbo].[T]
([B])
ON [PRIMARY]
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Index [dbo].[U].[PK_U]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[U]
ADD CONSTRAINT [PK_U] PRIMARY KEY CLUSTERED
([ID])

GO
--------------------------------------------------------------------------------
