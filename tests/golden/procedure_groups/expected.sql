-- SCRIPT CREATE for Procedure [dbo].[P_Create]
--------------------------------------------------------------------------------
-- Part 1:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROCEDURE [dbo].[P_Create] AS SELECT 1
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROCEDURE [dbo].[P_Create];2 AS SELECT 2
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Procedure [dbo].[P_Alter]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER PROCEDURE [dbo].[P_Alter];2 AS SELECT 22
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Procedure [dbo].[P_Regroup]
--------------------------------------------------------------------------------
-- Part 1:
DROP PROCEDURE [dbo].[P_Regroup]
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROC [dbo].[P_Regroup] AS SELECT 1
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
-- Part 3:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE PROC [dbo].[P_Regroup];2 AS SELECT 2
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for Procedure [dbo].[P_Renamed]
--------------------------------------------------------------------------------
-- Part 1:
EXEC sp_rename '[dbo].[P_Old]', 'P_Renamed', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER PROC [dbo].[P_Renamed] AS SELECT 1
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
-- Part 3:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER PROC [dbo].[P_Renamed];2 AS SELECT 2
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Procedure [dbo].[P_Gone]
--------------------------------------------------------------------------------
DROP PROCEDURE [dbo].[P_Gone]
GO
--------------------------------------------------------------------------------
