/*
 * Vessa考试系统 日志数据库 OstrelLog 2.1
 * 每次安装都执行。每个对象先检查是否存在。
 * 删除日志时，被删除的行由触发器转存到对应的 _History 表。
 */

if not exists (select * from sysobjects where id = object_id('Answer_Log') and xtype = 'U')
CREATE TABLE Answer_Log (
	LogID bigint IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer nvarchar(4000) COLLATE Chinese_PRC_CI_AS NULL ,
	ClientIP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_Answer_Log_LogTime DEFAULT (getdate()) ,
	CONSTRAINT PK_Answer_Log PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysobjects where id = object_id('Answer_Log_History') and xtype = 'U')
CREATE TABLE Answer_Log_History (
	LogID bigint NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer nvarchar(4000) COLLATE Chinese_PRC_CI_AS NULL ,
	ClientIP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_Answer_Log_History_LogTime DEFAULT (getdate()) ,
	DeleteTime datetime NOT NULL CONSTRAINT DF_Answer_Log_History_DeleteTime DEFAULT (getdate()) ,
	CONSTRAINT PK_Answer_Log_History PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysobjects where id = object_id('Ostrel_Log') and xtype = 'U')
CREATE TABLE Ostrel_Log (
	LogID bigint IDENTITY (1, 1) NOT NULL ,
	UserID int NULL ,
	UserName nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	Module nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	Action nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Detail nvarchar(2000) COLLATE Chinese_PRC_CI_AS NULL ,
	ClientIP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_Ostrel_Log_LogTime DEFAULT (getdate()) ,
	CONSTRAINT PK_Ostrel_Log PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysobjects where id = object_id('Ostrel_Log_History') and xtype = 'U')
CREATE TABLE Ostrel_Log_History (
	LogID bigint NOT NULL ,
	UserID int NULL ,
	UserName nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	Module nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	Action nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Detail nvarchar(2000) COLLATE Chinese_PRC_CI_AS NULL ,
	ClientIP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_Ostrel_Log_History_LogTime DEFAULT (getdate()) ,
	DeleteTime datetime NOT NULL CONSTRAINT DF_Ostrel_Log_History_DeleteTime DEFAULT (getdate()) ,
	CONSTRAINT PK_Ostrel_Log_History PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysindexes where id = object_id('Answer_Log') and name = 'IX_Answer_Log_ArrangeUser')
	CREATE INDEX IX_Answer_Log_ArrangeUser ON Answer_Log (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('Answer_Log_History') and name = 'IX_Answer_Log_History_ArrangeUser')
	CREATE INDEX IX_Answer_Log_History_ArrangeUser ON Answer_Log_History (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('Ostrel_Log') and name = 'IX_Ostrel_Log_LogTime')
	CREATE INDEX IX_Ostrel_Log_LogTime ON Ostrel_Log (LogTime)
GO

if not exists (select * from sysindexes where id = object_id('Ostrel_Log_History') and name = 'IX_Ostrel_Log_History_LogTime')
	CREATE INDEX IX_Ostrel_Log_History_LogTime ON Ostrel_Log_History (LogTime)
GO

if exists (select * from sysobjects where id = object_id('trigger_Answer_Log_Delete') and xtype = 'TR')
	drop trigger trigger_Answer_Log_Delete
GO

CREATE TRIGGER trigger_Answer_Log_Delete ON Answer_Log
FOR DELETE
AS
SET NOCOUNT ON
insert into Answer_Log_History (LogID, ArrangeID, UserID, ProblemID, Answer, ClientIP, LogTime, DeleteTime)
select LogID, ArrangeID, UserID, ProblemID, Answer, ClientIP, LogTime, getdate() from deleted
where LogID not in (select LogID from Answer_Log_History)
GO

if exists (select * from sysobjects where id = object_id('trigger_Ostrel_Log_Delete') and xtype = 'TR')
	drop trigger trigger_Ostrel_Log_Delete
GO

CREATE TRIGGER trigger_Ostrel_Log_Delete ON Ostrel_Log
FOR DELETE
AS
SET NOCOUNT ON
insert into Ostrel_Log_History (LogID, UserID, UserName, Module, Action, Detail, ClientIP, LogTime, DeleteTime)
select LogID, UserID, UserName, Module, Action, Detail, ClientIP, LogTime, getdate() from deleted
where LogID not in (select LogID from Ostrel_Log_History)
GO

