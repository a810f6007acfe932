-- SCRIPT CREATE for Function [dbo].[F_New]
--------------------------------------------------------------------------------
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE FUNCTION [dbo].[F_New]() RETURNS int AS BEGIN RETURN 1 END
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Function [dbo].[F_Changed]
--------------------------------------------------------------------------------
-- Part 1:
DROP FUNCTION [dbo].[F_Changed]
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

CREATE FUNCTION [dbo].[F_Changed]() RETURNS int AS BEGIN RETURN 2 END
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT RENAME for Function [dbo].[F_Renamed]
--------------------------------------------------------------------------------
-- Part 1:
EXEC sp_rename '[dbo].[F_Old]', 'F_Renamed', 'OBJECT'
----------------------------------------------------------------------
GO
-- Part 2:
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO

ALTER FUNCTION [dbo].[F_Renamed]() RETURNS int AS BEGIN RETURN 1 END
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
----------------------------------------------------------------------
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Function [dbo].[F_Gone]
--------------------------------------------------------------------------------
DROP FUNCTION [dbo].[F_Gone]
GO
--------------------------------------------------------------------------------
