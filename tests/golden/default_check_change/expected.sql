-- SCRIPT CHANGE for Check [dbo].[T].[CK_Qty]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
DROP CONSTRAINT [CK_Qty]
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [CK_Qty] CHECK ([Qty] > 0)
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Check [dbo].[T].[CK_New]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T] WITH NOCHECK
ADD CONSTRAINT [CK_New] CHECK NOT FOR REPLICATION ([Price] >= 0)
ALTER TABLE [dbo].[T] NOCHECK CONSTRAINT [CK_New]
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for Check [dbo].[T].[CK_Renamed]
--------------------------------------------------------------------------------
EXEC sp_rename '[dbo].[T].[CK_Before]', 'CK_Renamed', 'OBJECT'
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Check [dbo].[T].[CK_Gone]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
DROP CONSTRAINT [CK_Gone]
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Default [dbo].[T].[DF_T_Qty]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
DROP CONSTRAINT [DF_T_Qty]
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [DF_T_Qty] DEFAULT (1) FOR [Qty]
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for Default [dbo].[T].[DF_New]
--------------------------------------------------------------------------------
EXEC sp_rename '[dbo].[T].[DF_Old]', 'DF_New', 'OBJECT'
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Default [dbo].[T].[DF_Later]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
ADD CONSTRAINT [DF_Later] DEFAULT (7) FOR [Later]
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Default [dbo].[T].[DF_Dropped]
--------------------------------------------------------------------------------
ALTER TABLE [dbo].[T]
DROP CONSTRAINT [DF_Dropped]
GO
--------------------------------------------------------------------------------
