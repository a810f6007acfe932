-- SCRIPT CREATE for Permission [dbo].[Orders].[u1]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	GRANT SELECT, INSERT ON [dbo].[Orders]
	TO [u1]
	AS [dbo]
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Permission [dbo].[Orders].[u2]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	
	DENY UPDATE ON [dbo].[Orders] ([a],[b])
	TO [u2]
	
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CREATE for Permission [dbo].[Orders].[u3]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Orders]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	DENY INSERT, DELETE ON [dbo].[Orders]
	TO [u3]
	
	
	DENY REFERENCES ON [dbo].[Orders] ([y],[z]]])
	TO [u3]
	GRANT REFERENCES ON [dbo].[Orders]
	TO [u3]
	AS [boss]
	GRANT SELECT ON [dbo].[Orders] ([x])
	TO [u3]
	AS [boss]
	
	
GO
--------------------------------------------------------------------------------
-- SCRIPT CHANGE for Permission [dbo].[F].[u4]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[F]') and xtype in (N'FN', N'IF', N'TF')) 
	REVOKE ALL ON [dbo].[F]
	FROM [u4]
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[F]') and xtype in (N'FN', N'IF', N'TF')) 
	
	GRANT EXECUTE ON [dbo].[F]
	TO [u4]
	
GO
--------------------------------------------------------------------------------
-- SCRIPT DELETE for Permission [dbo].[V].[u5]
--------------------------------------------------------------------------------
if exists (select * from dbo.sysobjects where id = object_id('[dbo].[V]') and OBJECTPROPERTY(id, 'IsView') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)
	REVOKE ALL ON [dbo].[V]
	FROM [u5]
GO
--------------------------------------------------------------------------------
