-- SCRIPT CREATE for Trigger [dbo].[T].[tr_New]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE TRIGGER [tr_New] ON [dbo].[T] FOR INSERT AS SELECT 1
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Trigger [dbo].[T].[tr_Changed]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER TRIGGER [tr_Changed] ON [dbo].[T] FOR UPDATE AS SELECT 2
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for Trigger [dbo].[T].[tr_Renamed]
--------------------------------------------------------------------------------
-- Part 1:
EXEC sp_rename '[dbo].[T].[tr_Old]', 'tr_Renamed', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER TRIGGER [tr_Renamed] ON [dbo].[T] FOR DELETE AS SELECT 1
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Trigger [dbo].[T].[tr Audit]
--------------------------------------------------------------------------------
DROP TRIGGER [tr Audit]
GO
--------------------------------------------------------------------------------
