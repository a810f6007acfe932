-- SCRIPT CREATE for View [dbo].[V_New]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS OFF
GO

CREATE VIEW [dbo].[V_New]
AS
SELECT 1 AS A
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for View [dbo].[V_Ansi]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS OFF
GO

ALTER VIEW [dbo].[V_Ansi] AS SELECT 1 AS A
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for View [dbo].[V_Text]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER VIEW [dbo].[V_Text] AS SELECT 2 AS A -- new
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for View [dbo].[V_Renamed]
--------------------------------------------------------------------------------
-- Part 1:
EXEC sp_rename '[dbo].[V_Old]', 'V_Renamed', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER VIEW [dbo].[V_Renamed] AS SELECT 1 AS A
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for View [dbo].[V_Gone]
--------------------------------------------------------------------------------
DROP VIEW [dbo].[V_Gone]
GO
--------------------------------------------------------------------------------
