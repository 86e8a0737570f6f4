/*
 * Vessa考试系统 考试数据库升级到 2.1
 * 在已有的考试数据库上执行，之后执行 T7DATA。每个对象先检查是否存在，
 * 已是当前结构的数据库上再执行一次也不会改变什么。先建没有的表，再补旧表缺少的列。
 */

/*==============================================================*/
/* 表：没有的按当前结构新建                                        */
/*==============================================================*/
if not exists (select * from sysobjects where id = object_id('ANSWERSHEET_CACHE') and xtype = 'U')
CREATE TABLE ANSWERSHEET_CACHE (
	CacheID int IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer nvarchar(4000) COLLATE Chinese_PRC_CI_AS NULL ,
	SaveTime datetime NOT NULL CONSTRAINT DF_ANSWERSHEET_CACHE_SaveTime DEFAULT (getdate()) ,
	CONSTRAINT PK_ANSWERSHEET_CACHE PRIMARY KEY CLUSTERED (CacheID)
)
GO

if not exists (select * from sysobjects where id = object_id('ANSWERSHEET_DELETE') and xtype = 'U')
CREATE TABLE ANSWERSHEET_DELETE (
	SheetID int NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	PaperID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Score decimal(6,2) NULL ,
	DeleteTime datetime NOT NULL CONSTRAINT DF_ANSWERSHEET_DELETE_DeleteTime DEFAULT (getdate()) ,
	DeletedBy int NULL ,
	CONSTRAINT PK_ANSWERSHEET_DELETE PRIMARY KEY CLUSTERED (SheetID)
)
GO

if not exists (select * from sysobjects where id = object_id('COURSEPERMISSION') and xtype = 'U')
CREATE TABLE COURSEPERMISSION (
	CourseID int NOT NULL ,
	RoleID int NOT NULL ,
	Permission int NOT NULL CONSTRAINT DF_COURSEPERMISSION_Permission DEFAULT (0) ,
	CONSTRAINT PK_COURSEPERMISSION PRIMARY KEY CLUSTERED (CourseID, RoleID)
)
GO

if not exists (select * from sysobjects where id = object_id('FEATUREFORMAT') and xtype = 'U')
CREATE TABLE FEATUREFORMAT (
	FormatID int IDENTITY (1, 1) NOT NULL ,
	FeatureID int NOT NULL ,
	FormatName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	FormatText ntext COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_FEATUREFORMAT PRIMARY KEY CLUSTERED (FormatID)
)
GO

if not exists (select * from sysobjects where id = object_id('GroupInfo') and xtype = 'U')
CREATE TABLE GroupInfo (
	GroupID int IDENTITY (1, 1) NOT NULL ,
	GroupName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ParentID int NOT NULL CONSTRAINT DF_GroupInfo_ParentID DEFAULT (0) ,
	Description nvarchar(500) COLLATE Chinese_PRC_CI_AS NULL ,
	SortOrder int NOT NULL CONSTRAINT DF_GroupInfo_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_GroupInfo PRIMARY KEY CLUSTERED (GroupID)
)
GO

if not exists (select * from sysobjects where id = object_id('OfficeCompareEnum') and xtype = 'U')
CREATE TABLE OfficeCompareEnum (
	EnumID int NOT NULL ,
	OfficeType tinyint NOT NULL CONSTRAINT DF_OfficeCompareEnum_OfficeType DEFAULT (0) ,
	EnumName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	EnumValue varchar(100) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_OfficeCompareEnum PRIMARY KEY CLUSTERED (EnumID)
)
GO

if not exists (select * from sysobjects where id = object_id('OfficeCompareItem') and xtype = 'U')
CREATE TABLE OfficeCompareItem (
	ItemID int IDENTITY (1, 1) NOT NULL ,
	ProblemID int NOT NULL ,
	EnumID int NOT NULL ,
	ExpectedValue nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	Score decimal(6,2) NOT NULL CONSTRAINT DF_OfficeCompareItem_Score DEFAULT (0) ,
	CONSTRAINT PK_OfficeCompareItem PRIMARY KEY CLUSTERED (ItemID)
)
GO

if not exists (select * from sysobjects where id = object_id('PAPER_DELETE') and xtype = 'U')
CREATE TABLE PAPER_DELETE (
	PaperID int NOT NULL ,
	CourseID int NULL ,
	PaperName nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	DeleteTime datetime NOT NULL CONSTRAINT DF_PAPER_DELETE_DeleteTime DEFAULT (getdate()) ,
	DeletedBy int NULL ,
	CONSTRAINT PK_PAPER_DELETE PRIMARY KEY CLUSTERED (PaperID)
)
GO

if not exists (select * from sysobjects where id = object_id('PROBLEMGROUP') and xtype = 'U')
CREATE TABLE PROBLEMGROUP (
	GroupID int IDENTITY (1, 1) NOT NULL ,
	ProblemID int NOT NULL ,
	ChildProblemID int NOT NULL ,
	SortOrder int NOT NULL CONSTRAINT DF_PROBLEMGROUP_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_PROBLEMGROUP PRIMARY KEY CLUSTERED (GroupID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperAnalyze') and xtype = 'U')
CREATE TABLE PaperAnalyze (
	PaperID int NOT NULL ,
	ProblemID int NOT NULL ,
	RightCount int NOT NULL CONSTRAINT DF_PaperAnalyze_RightCount DEFAULT (0) ,
	WrongCount int NOT NULL CONSTRAINT DF_PaperAnalyze_WrongCount DEFAULT (0) ,
	AvgScore decimal(6,2) NULL ,
	Discrimination decimal(4,3) NULL ,
	AnalyzeTime datetime NULL ,
	CONSTRAINT PK_PaperAnalyze PRIMARY KEY CLUSTERED (PaperID, ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperAuditRecord') and xtype = 'U')
CREATE TABLE PaperAuditRecord (
	RecordID int IDENTITY (1, 1) NOT NULL ,
	PaperID int NOT NULL ,
	AuditorID int NOT NULL ,
	AuditTime datetime NOT NULL CONSTRAINT DF_PaperAuditRecord_AuditTime DEFAULT (getdate()) ,
	Result tinyint NOT NULL CONSTRAINT DF_PaperAuditRecord_Result DEFAULT (0) ,
	Comment nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_PaperAuditRecord PRIMARY KEY CLUSTERED (RecordID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperAuditSetting') and xtype = 'U')
CREATE TABLE PaperAuditSetting (
	PaperID int NOT NULL ,
	NeedAudit bit NOT NULL CONSTRAINT DF_PaperAuditSetting_NeedAudit DEFAULT (0) ,
	AuditorID int NULL ,
	CONSTRAINT PK_PaperAuditSetting PRIMARY KEY CLUSTERED (PaperID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperPrintSetting') and xtype = 'U')
CREATE TABLE PaperPrintSetting (
	PaperID int NOT NULL ,
	Header nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	Footer nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	FontName nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	FontSize smallint NOT NULL CONSTRAINT DF_PaperPrintSetting_FontSize DEFAULT (12) ,
	ShowAnswer bit NOT NULL CONSTRAINT DF_PaperPrintSetting_ShowAnswer DEFAULT (0) ,
	CONSTRAINT PK_PaperPrintSetting PRIMARY KEY CLUSTERED (PaperID)
)
GO

if not exists (select * from sysobjects where id = object_id('ProblemComments') and xtype = 'U')
CREATE TABLE ProblemComments (
	CommentID int IDENTITY (1, 1) NOT NULL ,
	ProblemID int NOT NULL ,
	UserID int NOT NULL ,
	Comment nvarchar(1000) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	CommentTime datetime NOT NULL CONSTRAINT DF_ProblemComments_CommentTime DEFAULT (getdate()) ,
	CONSTRAINT PK_ProblemComments PRIMARY KEY CLUSTERED (CommentID)
)
GO

if not exists (select * from sysobjects where id = object_id('REF_PROBLEMTYPE') and xtype = 'U')
CREATE TABLE REF_PROBLEMTYPE (
	TypeID int NOT NULL ,
	TypeName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	IsObjective bit NOT NULL CONSTRAINT DF_REF_PROBLEMTYPE_IsObjective DEFAULT (1) ,
	SortOrder int NOT NULL CONSTRAINT DF_REF_PROBLEMTYPE_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_REF_PROBLEMTYPE PRIMARY KEY CLUSTERED (TypeID)
)
GO

if not exists (select * from sysobjects where id = object_id('ROLEADMIN') and xtype = 'U')
CREATE TABLE ROLEADMIN (
	RoleID int NOT NULL ,
	RoleName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Permission int NOT NULL CONSTRAINT DF_ROLEADMIN_Permission DEFAULT (0) ,
	Description nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	IsSystem bit NOT NULL CONSTRAINT DF_ROLEADMIN_IsSystem DEFAULT (0) ,
	CONSTRAINT PK_ROLEADMIN PRIMARY KEY CLUSTERED (RoleID)
)
GO

if not exists (select * from sysobjects where id = object_id('RightItem') and xtype = 'U')
CREATE TABLE RightItem (
	RightID int NOT NULL ,
	RightName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	RightCode varchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ParentID int NOT NULL CONSTRAINT DF_RightItem_ParentID DEFAULT (0) ,
	Permission int NOT NULL CONSTRAINT DF_RightItem_Permission DEFAULT (0) ,
	SortOrder int NOT NULL CONSTRAINT DF_RightItem_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_RightItem PRIMARY KEY CLUSTERED (RightID)
)
GO

if not exists (select * from sysobjects where id = object_id('SUBJECT') and xtype = 'U')
CREATE TABLE SUBJECT (
	SubjectID int IDENTITY (1, 1) NOT NULL ,
	SubjectName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ParentID int NOT NULL CONSTRAINT DF_SUBJECT_ParentID DEFAULT (0) ,
	Description nvarchar(500) COLLATE Chinese_PRC_CI_AS NULL ,
	SortOrder int NOT NULL CONSTRAINT DF_SUBJECT_SortOrder DEFAULT (0) ,
	LASTUPDATED datetime NOT NULL CONSTRAINT DF_SUBJECT_LASTUPDATED DEFAULT (getdate()) ,
	CONSTRAINT PK_SUBJECT PRIMARY KEY CLUSTERED (SubjectID)
)
GO

if not exists (select * from sysobjects where id = object_id('ServerConfig') and xtype = 'U')
CREATE TABLE ServerConfig (
	ServerID int IDENTITY (1, 1) NOT NULL ,
	ServerName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	IP varchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Port int NOT NULL CONSTRAINT DF_ServerConfig_Port DEFAULT (80) ,
	IsMain bit NOT NULL CONSTRAINT DF_ServerConfig_IsMain DEFAULT (0) ,
	CONSTRAINT PK_ServerConfig PRIMARY KEY CLUSTERED (ServerID)
)
GO

if not exists (select * from sysobjects where id = object_id('SystemConfig') and xtype = 'U')
CREATE TABLE SystemConfig (
	ConfigName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ConfigValue nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	Description nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_SystemConfig PRIMARY KEY CLUSTERED (ConfigName)
)
GO

if not exists (select * from sysobjects where id = object_id('USERDETAILFIELDS') and xtype = 'U')
CREATE TABLE USERDETAILFIELDS (
	FieldID int IDENTITY (1, 1) NOT NULL ,
	FieldName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Caption nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	FieldType tinyint NOT NULL CONSTRAINT DF_USERDETAILFIELDS_FieldType DEFAULT (0) ,
	IsRequired bit NOT NULL CONSTRAINT DF_USERDETAILFIELDS_IsRequired DEFAULT (0) ,
	SortOrder int NOT NULL CONSTRAINT DF_USERDETAILFIELDS_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_USERDETAILFIELDS PRIMARY KEY CLUSTERED (FieldID)
)
GO

if not exists (select * from sysobjects where id = object_id('USER_DELETE') and xtype = 'U')
CREATE TABLE USER_DELETE (
	USERID int NOT NULL ,
	NAME nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	CHINESENAME nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	DeleteTime datetime NOT NULL CONSTRAINT DF_USER_DELETE_DeleteTime DEFAULT (getdate()) ,
	DeletedBy int NULL ,
	CONSTRAINT PK_USER_DELETE PRIMARY KEY CLUSTERED (USERID)
)
GO

if not exists (select * from sysobjects where id = object_id('UserConfig') and xtype = 'U')
CREATE TABLE UserConfig (
	UserID int NOT NULL ,
	ConfigName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ConfigValue nvarchar(500) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_UserConfig PRIMARY KEY CLUSTERED (UserID, ConfigName)
)
GO

if not exists (select * from sysobjects where id = object_id('UserLog') and xtype = 'U')
CREATE TABLE UserLog (
	LogID int IDENTITY (1, 1) NOT NULL ,
	UserID int NOT NULL ,
	Action nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Detail nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	IP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_UserLog_LogTime DEFAULT (getdate()) ,
	CONSTRAINT PK_UserLog PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysobjects where id = object_id('UserTextSettings') and xtype = 'U')
CREATE TABLE UserTextSettings (
	UserID int NOT NULL ,
	FontName nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	FontSize smallint NOT NULL CONSTRAINT DF_UserTextSettings_FontSize DEFAULT (12) ,
	ForeColor int NOT NULL CONSTRAINT DF_UserTextSettings_ForeColor DEFAULT (0) ,
	BackColor int NOT NULL CONSTRAINT DF_UserTextSettings_BackColor DEFAULT (16777215) ,
	CONSTRAINT PK_UserTextSettings PRIMARY KEY CLUSTERED (UserID)
)
GO

if not exists (select * from sysobjects where id = object_id('COURSE') and xtype = 'U')
CREATE TABLE COURSE (
	CourseID int IDENTITY (1, 1) NOT NULL ,
	CourseName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	CourseCode nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	Description nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	CreatorID int NULL ,
	CreateTime datetime NOT NULL CONSTRAINT DF_COURSE_CreateTime DEFAULT (getdate()) ,
	Status tinyint NOT NULL CONSTRAINT DF_COURSE_Status DEFAULT (0) ,
	LASTUPDATED datetime NOT NULL CONSTRAINT DF_COURSE_LASTUPDATED DEFAULT (getdate()) ,
	CONSTRAINT PK_COURSE PRIMARY KEY CLUSTERED (CourseID)
)
GO

if not exists (select * from sysobjects where id = object_id('CoursesGroups') and xtype = 'U')
CREATE TABLE CoursesGroups (
	CourseID int NOT NULL ,
	GroupID int NOT NULL ,
	CONSTRAINT PK_CoursesGroups PRIMARY KEY CLUSTERED (CourseID, GroupID)
)
GO

if not exists (select * from sysobjects where id = object_id('FEATURE') and xtype = 'U')
CREATE TABLE FEATURE (
	FeatureID int IDENTITY (1, 1) NOT NULL ,
	SubjectID int NOT NULL ,
	FeatureName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	ParentID int NOT NULL CONSTRAINT DF_FEATURE_ParentID DEFAULT (0) ,
	FeatureLevel tinyint NOT NULL CONSTRAINT DF_FEATURE_FeatureLevel DEFAULT (0) ,
	SubjectSensitive bit NOT NULL CONSTRAINT DF_FEATURE_SubjectSensitive DEFAULT (0) ,
	SortOrder int NOT NULL CONSTRAINT DF_FEATURE_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_FEATURE PRIMARY KEY CLUSTERED (FeatureID)
)
GO

if not exists (select * from sysobjects where id = object_id('GroupRole') and xtype = 'U')
CREATE TABLE GroupRole (
	GroupID int NOT NULL ,
	RoleID int NOT NULL ,
	CONSTRAINT PK_GroupRole PRIMARY KEY CLUSTERED (GroupID, RoleID)
)
GO

if not exists (select * from sysobjects where id = object_id('PAPERDESIGN') and xtype = 'U')
CREATE TABLE PAPERDESIGN (
	DesignID int IDENTITY (1, 1) NOT NULL ,
	PaperID int NOT NULL ,
	PartitionID int NOT NULL CONSTRAINT DF_PAPERDESIGN_PartitionID DEFAULT (0) ,
	TypeID int NOT NULL ,
	ProblemCount int NOT NULL CONSTRAINT DF_PAPERDESIGN_ProblemCount DEFAULT (0) ,
	ScorePer decimal(6,2) NOT NULL CONSTRAINT DF_PAPERDESIGN_ScorePer DEFAULT (0) ,
	SortOrder int NOT NULL CONSTRAINT DF_PAPERDESIGN_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_PAPERDESIGN PRIMARY KEY CLUSTERED (DesignID)
)
GO

if not exists (select * from sysobjects where id = object_id('PROBLEM') and xtype = 'U')
CREATE TABLE PROBLEM (
	ProblemID int IDENTITY (1, 1) NOT NULL ,
	SubjectID int NOT NULL ,
	TypeID int NOT NULL ,
	Title nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Content ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Answer ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Difficulty decimal(3,2) NOT NULL CONSTRAINT DF_PROBLEM_Difficulty DEFAULT (0.5) ,
	Score decimal(6,2) NOT NULL CONSTRAINT DF_PROBLEM_Score DEFAULT (0) ,
	CreatorID int NULL ,
	CreateTime datetime NOT NULL CONSTRAINT DF_PROBLEM_CreateTime DEFAULT (getdate()) ,
	Status tinyint NOT NULL CONSTRAINT DF_PROBLEM_Status DEFAULT (0) ,
	UseCount int NOT NULL CONSTRAINT DF_PROBLEM_UseCount DEFAULT (0) ,
	LASTUPDATED datetime NOT NULL CONSTRAINT DF_PROBLEM_LASTUPDATED DEFAULT (getdate()) ,
	CONSTRAINT PK_PROBLEM PRIMARY KEY CLUSTERED (ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('RolesRights') and xtype = 'U')
CREATE TABLE RolesRights (
	RoleID int NOT NULL ,
	RightID int NOT NULL ,
	CONSTRAINT PK_RolesRights PRIMARY KEY CLUSTERED (RoleID, RightID)
)
GO

if not exists (select * from sysobjects where id = object_id('USERINFO') and xtype = 'U')
CREATE TABLE USERINFO (
	USERID int IDENTITY (1, 1) NOT NULL ,
	NAME nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Password nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL ,
	PWD nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	ROLE int NOT NULL CONSTRAINT DF_USERINFO_ROLE DEFAULT (0) ,
	UserCode nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL ,
	CHINESENAME nvarchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LASTUPDATED datetime NOT NULL CONSTRAINT DF_USERINFO_LASTUPDATED DEFAULT (getdate()) ,
	CONSTRAINT PK_USERINFO PRIMARY KEY CLUSTERED (USERID)
)
GO

if not exists (select * from sysobjects where id = object_id('CONTENT') and xtype = 'U')
CREATE TABLE CONTENT (
	ContentID int IDENTITY (1, 1) NOT NULL ,
	ContentType tinyint NOT NULL CONSTRAINT DF_CONTENT_ContentType DEFAULT (0) ,
	ContentText ntext COLLATE Chinese_PRC_CI_AS NULL ,
	ContentData image NULL ,
	FileName nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_CONTENT PRIMARY KEY CLUSTERED (ContentID)
)
GO

if not exists (select * from sysobjects where id = object_id('COURSESSUBJECTS') and xtype = 'U')
CREATE TABLE COURSESSUBJECTS (
	CourseID int NOT NULL ,
	SubjectID int NOT NULL ,
	CONSTRAINT PK_COURSESSUBJECTS PRIMARY KEY CLUSTERED (CourseID, SubjectID)
)
GO

if not exists (select * from sysobjects where id = object_id('CourseExt') and xtype = 'U')
CREATE TABLE CourseExt (
	CourseID int NOT NULL ,
	StartDate datetime NULL ,
	EndDate datetime NULL ,
	Credit decimal(5,1) NULL ,
	Memo ntext COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_CourseExt PRIMARY KEY CLUSTERED (CourseID)
)
GO

if not exists (select * from sysobjects where id = object_id('CoursePracticeSetting') and xtype = 'U')
CREATE TABLE CoursePracticeSetting (
	SettingID int IDENTITY (1, 1) NOT NULL ,
	CourseID int NOT NULL ,
	AllowPractice bit NOT NULL CONSTRAINT DF_CoursePracticeSetting_AllowPractice DEFAULT (1) ,
	MaxTimes int NOT NULL CONSTRAINT DF_CoursePracticeSetting_MaxTimes DEFAULT (0) ,
	ShowAnswer bit NOT NULL CONSTRAINT DF_CoursePracticeSetting_ShowAnswer DEFAULT (0) ,
	CONSTRAINT PK_CoursePracticeSetting PRIMARY KEY CLUSTERED (SettingID)
)
GO

if not exists (select * from sysobjects where id = object_id('CoursesUsers') and xtype = 'U')
CREATE TABLE CoursesUsers (
	UserID int NOT NULL ,
	CourseID int NOT NULL ,
	CONSTRAINT PK_CoursesUsers PRIMARY KEY CLUSTERED (UserID, CourseID)
)
GO

if not exists (select * from sysobjects where id = object_id('FEATUREPARTITION') and xtype = 'U')
CREATE TABLE FEATUREPARTITION (
	PartitionID int IDENTITY (1, 1) NOT NULL ,
	FeatureID int NOT NULL ,
	PartitionName nvarchar(100) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	LowValue decimal(6,2) NOT NULL CONSTRAINT DF_FEATUREPARTITION_LowValue DEFAULT (0) ,
	HighValue decimal(6,2) NOT NULL CONSTRAINT DF_FEATUREPARTITION_HighValue DEFAULT (0) ,
	CONSTRAINT PK_FEATUREPARTITION PRIMARY KEY CLUSTERED (PartitionID)
)
GO

if not exists (select * from sysobjects where id = object_id('GroupUser') and xtype = 'U')
CREATE TABLE GroupUser (
	GroupID int NOT NULL ,
	UserID int NOT NULL ,
	CONSTRAINT PK_GroupUser PRIMARY KEY CLUSTERED (GroupID, UserID)
)
GO

if not exists (select * from sysobjects where id = object_id('LOCKEDPROBLEM') and xtype = 'U')
CREATE TABLE LOCKEDPROBLEM (
	ProblemID int NOT NULL ,
	UserID int NOT NULL ,
	LockTime datetime NOT NULL CONSTRAINT DF_LOCKEDPROBLEM_LockTime DEFAULT (getdate()) ,
	CONSTRAINT PK_LOCKEDPROBLEM PRIMARY KEY CLUSTERED (ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('PAPER') and xtype = 'U')
CREATE TABLE PAPER (
	PaperID int IDENTITY (1, 1) NOT NULL ,
	CourseID int NOT NULL ,
	PaperName nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	TotalScore decimal(6,2) NOT NULL CONSTRAINT DF_PAPER_TotalScore DEFAULT (100) ,
	PassScore decimal(6,2) NOT NULL CONSTRAINT DF_PAPER_PassScore DEFAULT (60) ,
	Duration int NOT NULL CONSTRAINT DF_PAPER_Duration DEFAULT (120) ,
	Status tinyint NOT NULL CONSTRAINT DF_PAPER_Status DEFAULT (0) ,
	CreatorID int NULL ,
	CreateTime datetime NOT NULL CONSTRAINT DF_PAPER_CreateTime DEFAULT (getdate()) ,
	LASTUPDATED datetime NOT NULL CONSTRAINT DF_PAPER_LASTUPDATED DEFAULT (getdate()) ,
	CONSTRAINT PK_PAPER PRIMARY KEY CLUSTERED (PaperID)
)
GO

if not exists (select * from sysobjects where id = object_id('PROBLEMSFEATURES') and xtype = 'U')
CREATE TABLE PROBLEMSFEATURES (
	ProblemID int NOT NULL ,
	FeatureID int NOT NULL ,
	CONSTRAINT PK_PROBLEMSFEATURES PRIMARY KEY CLUSTERED (ProblemID, FeatureID)
)
GO

if not exists (select * from sysobjects where id = object_id('ProblemDetails') and xtype = 'U')
CREATE TABLE ProblemDetails (
	ProblemID int NOT NULL ,
	Analysis ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Source nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	KeyWords nvarchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_ProblemDetails PRIMARY KEY CLUSTERED (ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('ProblemExt') and xtype = 'U')
CREATE TABLE ProblemExt (
	ProblemID int NOT NULL ,
	OfficeType tinyint NOT NULL CONSTRAINT DF_ProblemExt_OfficeType DEFAULT (0) ,
	ExtData ntext COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_ProblemExt PRIMARY KEY CLUSTERED (ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('RESULT') and xtype = 'U')
CREATE TABLE RESULT (
	ResultID int IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	PaperID int NOT NULL ,
	TotalScore decimal(6,2) NOT NULL CONSTRAINT DF_RESULT_TotalScore DEFAULT (0) ,
	ObjectiveScore decimal(6,2) NOT NULL CONSTRAINT DF_RESULT_ObjectiveScore DEFAULT (0) ,
	SubjectiveScore decimal(6,2) NOT NULL CONSTRAINT DF_RESULT_SubjectiveScore DEFAULT (0) ,
	IsPassed bit NOT NULL CONSTRAINT DF_RESULT_IsPassed DEFAULT (0) ,
	SubmitTime datetime NULL ,
	Status tinyint NOT NULL CONSTRAINT DF_RESULT_Status DEFAULT (0) ,
	CONSTRAINT PK_RESULT PRIMARY KEY CLUSTERED (ResultID)
)
GO

if not exists (select * from sysobjects where id = object_id('USERDETAILS') and xtype = 'U')
CREATE TABLE USERDETAILS (
	UserID int NOT NULL ,
	FieldID int NOT NULL ,
	FieldValue nvarchar(500) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_USERDETAILS PRIMARY KEY CLUSTERED (UserID, FieldID)
)
GO

if not exists (select * from sysobjects where id = object_id('UserFavoriteType') and xtype = 'U')
CREATE TABLE UserFavoriteType (
	TypeID int IDENTITY (1, 1) NOT NULL ,
	UserID int NOT NULL ,
	TypeName nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	CONSTRAINT PK_UserFavoriteType PRIMARY KEY CLUSTERED (TypeID)
)
GO

if not exists (select * from sysobjects where id = object_id('UserRole') and xtype = 'U')
CREATE TABLE UserRole (
	UserID int NOT NULL ,
	RoleID int NOT NULL ,
	CONSTRAINT PK_UserRole PRIMARY KEY CLUSTERED (UserID, RoleID)
)
GO

if not exists (select * from sysobjects where id = object_id('UsersRights') and xtype = 'U')
CREATE TABLE UsersRights (
	UserID int NOT NULL ,
	RightID int NOT NULL ,
	CONSTRAINT PK_UsersRights PRIMARY KEY CLUSTERED (UserID, RightID)
)
GO

if not exists (select * from sysobjects where id = object_id('ANSWERSHEET') and xtype = 'U')
CREATE TABLE ANSWERSHEET (
	SheetID int IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	PaperID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Score decimal(6,2) NULL ,
	IsMarked bit NOT NULL CONSTRAINT DF_ANSWERSHEET_IsMarked DEFAULT (0) ,
	MarkerID int NULL ,
	AnswerTime datetime NOT NULL CONSTRAINT DF_ANSWERSHEET_AnswerTime DEFAULT (getdate()) ,
	CONSTRAINT PK_ANSWERSHEET PRIMARY KEY CLUSTERED (SheetID)
)
GO

if not exists (select * from sysobjects where id = object_id('COURSESFEATUREPARTITIONS') and xtype = 'U')
CREATE TABLE COURSESFEATUREPARTITIONS (
	CourseID int NOT NULL ,
	PartitionID int NOT NULL ,
	CONSTRAINT PK_COURSESFEATUREPARTITIONS PRIMARY KEY CLUSTERED (CourseID, PartitionID)
)
GO

if not exists (select * from sysobjects where id = object_id('PAPERTEACHER') and xtype = 'U')
CREATE TABLE PAPERTEACHER (
	PaperID int NOT NULL ,
	UserID int NOT NULL ,
	CONSTRAINT PK_PAPERTEACHER PRIMARY KEY CLUSTERED (PaperID, UserID)
)
GO

if not exists (select * from sysobjects where id = object_id('PROBLEMSCONTENTS') and xtype = 'U')
CREATE TABLE PROBLEMSCONTENTS (
	ProblemID int NOT NULL ,
	ContentID int NOT NULL ,
	SortOrder int NOT NULL CONSTRAINT DF_PROBLEMSCONTENTS_SortOrder DEFAULT (0) ,
	CONSTRAINT PK_PROBLEMSCONTENTS PRIMARY KEY CLUSTERED (ProblemID, ContentID)
)
GO

if not exists (select * from sysobjects where id = object_id('Practice') and xtype = 'U')
CREATE TABLE Practice (
	PracticeID int IDENTITY (1, 1) NOT NULL ,
	UserID int NOT NULL ,
	CourseID int NOT NULL ,
	PaperID int NULL ,
	StartTime datetime NOT NULL CONSTRAINT DF_Practice_StartTime DEFAULT (getdate()) ,
	EndTime datetime NULL ,
	Score decimal(6,2) NULL ,
	CONSTRAINT PK_Practice PRIMARY KEY CLUSTERED (PracticeID)
)
GO

if not exists (select * from sysobjects where id = object_id('SYLLABUS') and xtype = 'U')
CREATE TABLE SYLLABUS (
	SyllabusID int IDENTITY (1, 1) NOT NULL ,
	CourseID int NOT NULL ,
	Title nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Content ntext COLLATE Chinese_PRC_CI_AS NULL ,
	Version nvarchar(20) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_SYLLABUS PRIMARY KEY CLUSTERED (SyllabusID)
)
GO

if not exists (select * from sysobjects where id = object_id('TESTARRANGE') and xtype = 'U')
CREATE TABLE TESTARRANGE (
	ArrangeID int IDENTITY (1, 1) NOT NULL ,
	PaperID int NOT NULL ,
	CourseID int NOT NULL ,
	ArrangeName nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	StartTime datetime NOT NULL ,
	EndTime datetime NOT NULL ,
	Duration int NOT NULL CONSTRAINT DF_TESTARRANGE_Duration DEFAULT (120) ,
	Place nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL ,
	Status tinyint NOT NULL CONSTRAINT DF_TESTARRANGE_Status DEFAULT (0) ,
	CONSTRAINT PK_TESTARRANGE PRIMARY KEY CLUSTERED (ArrangeID)
)
GO

if not exists (select * from sysobjects where id = object_id('TestSetting') and xtype = 'U')
CREATE TABLE TestSetting (
	ArrangeID int NOT NULL ,
	ShuffleProblems bit NOT NULL CONSTRAINT DF_TestSetting_ShuffleProblems DEFAULT (0) ,
	ShuffleOptions bit NOT NULL CONSTRAINT DF_TestSetting_ShuffleOptions DEFAULT (0) ,
	ShowScore bit NOT NULL CONSTRAINT DF_TestSetting_ShowScore DEFAULT (1) ,
	AllowReview bit NOT NULL CONSTRAINT DF_TestSetting_AllowReview DEFAULT (0) ,
	LimitIP varchar(200) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_TestSetting PRIMARY KEY CLUSTERED (ArrangeID)
)
GO

if not exists (select * from sysobjects where id = object_id('USERPERMISSION') and xtype = 'U')
CREATE TABLE USERPERMISSION (
	UserID int NOT NULL ,
	CourseID int NOT NULL ,
	Permission int NOT NULL CONSTRAINT DF_USERPERMISSION_Permission DEFAULT (0) ,
	CONSTRAINT PK_USERPERMISSION PRIMARY KEY CLUSTERED (UserID, CourseID)
)
GO

if not exists (select * from sysobjects where id = object_id('UserProblem') and xtype = 'U')
CREATE TABLE UserProblem (
	UserID int NOT NULL ,
	ProblemID int NOT NULL ,
	TypeID int NULL ,
	AddTime datetime NOT NULL CONSTRAINT DF_UserProblem_AddTime DEFAULT (getdate()) ,
	CONSTRAINT PK_UserProblem PRIMARY KEY CLUSTERED (UserID, ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('ExamLog') and xtype = 'U')
CREATE TABLE ExamLog (
	LogID int IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	Action nvarchar(50) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	Detail nvarchar(1000) COLLATE Chinese_PRC_CI_AS NULL ,
	IP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	LogTime datetime NOT NULL CONSTRAINT DF_ExamLog_LogTime DEFAULT (getdate()) ,
	CONSTRAINT PK_ExamLog PRIMARY KEY CLUSTERED (LogID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperTeacherProblem') and xtype = 'U')
CREATE TABLE PaperTeacherProblem (
	PaperID int NOT NULL ,
	UserID int NOT NULL ,
	ProblemID int NOT NULL ,
	CONSTRAINT PK_PaperTeacherProblem PRIMARY KEY CLUSTERED (PaperID, UserID, ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('PaperTeacherStudent') and xtype = 'U')
CREATE TABLE PaperTeacherStudent (
	PaperID int NOT NULL ,
	TeacherID int NOT NULL ,
	StudentID int NOT NULL ,
	CONSTRAINT PK_PaperTeacherStudent PRIMARY KEY CLUSTERED (PaperID, TeacherID, StudentID)
)
GO

if not exists (select * from sysobjects where id = object_id('PracticeResult') and xtype = 'U')
CREATE TABLE PracticeResult (
	PracticeID int NOT NULL ,
	ProblemID int NOT NULL ,
	Answer nvarchar(4000) COLLATE Chinese_PRC_CI_AS NULL ,
	Score decimal(6,2) NULL ,
	IsRight bit NOT NULL CONSTRAINT DF_PracticeResult_IsRight DEFAULT (0) ,
	CONSTRAINT PK_PracticeResult PRIMARY KEY CLUSTERED (PracticeID, ProblemID)
)
GO

if not exists (select * from sysobjects where id = object_id('TESTSTUDENT') and xtype = 'U')
CREATE TABLE TESTSTUDENT (
	ArrangeID int NOT NULL ,
	UserID int NOT NULL ,
	Status tinyint NOT NULL CONSTRAINT DF_TESTSTUDENT_Status DEFAULT (0) ,
	LoginTime datetime NULL ,
	SubmitTime datetime NULL ,
	IP varchar(50) COLLATE Chinese_PRC_CI_AS NULL ,
	CONSTRAINT PK_TESTSTUDENT PRIMARY KEY CLUSTERED (ArrangeID, UserID)
)
GO

if not exists (select * from sysobjects where id = object_id('ExamMessage') and xtype = 'U')
CREATE TABLE ExamMessage (
	MessageID int IDENTITY (1, 1) NOT NULL ,
	ArrangeID int NOT NULL ,
	SenderID int NOT NULL ,
	ReceiverID int NULL ,
	Message nvarchar(1000) COLLATE Chinese_PRC_CI_AS NOT NULL ,
	SendTime datetime NOT NULL CONSTRAINT DF_ExamMessage_SendTime DEFAULT (getdate()) ,
	IsRead bit NOT NULL CONSTRAINT DF_ExamMessage_IsRead DEFAULT (0) ,
	CONSTRAINT PK_ExamMessage PRIMARY KEY CLUSTERED (MessageID)
)
GO

/*==============================================================*/
/* 加宽的列                                                      */
/*==============================================================*/
if exists (select * from syscolumns where id = object_id('PROBLEM') and name = 'Title')
	ALTER TABLE PROBLEM ALTER COLUMN Title nvarchar(200) COLLATE Chinese_PRC_CI_AS NOT NULL
GO

if exists (select * from syscolumns where id = object_id('USERINFO') and name = 'Password')
	ALTER TABLE USERINFO ALTER COLUMN Password nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL
GO

/*==============================================================*/
/* 新增的列                                                      */
/*==============================================================*/
if not exists (select * from syscolumns where id = object_id('ANSWERSHEET_DELETE') and name = 'DeletedBy')
	ALTER TABLE ANSWERSHEET_DELETE ADD DeletedBy int NULL
GO

if not exists (select * from syscolumns where id = object_id('GroupInfo') and name = 'SortOrder')
	ALTER TABLE GroupInfo ADD SortOrder int NOT NULL CONSTRAINT DF_GroupInfo_SortOrder DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('PaperAnalyze') and name = 'Discrimination')
	ALTER TABLE PaperAnalyze ADD Discrimination decimal(4,3) NULL
GO

if not exists (select * from syscolumns where id = object_id('ROLEADMIN') and name = 'IsSystem')
	ALTER TABLE ROLEADMIN ADD IsSystem bit NOT NULL CONSTRAINT DF_ROLEADMIN_IsSystem DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('COURSE') and name = 'Status')
	ALTER TABLE COURSE ADD Status tinyint NOT NULL CONSTRAINT DF_COURSE_Status DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('FEATURE') and name = 'SubjectSensitive')
	ALTER TABLE FEATURE ADD SubjectSensitive bit NOT NULL CONSTRAINT DF_FEATURE_SubjectSensitive DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('PROBLEM') and name = 'UseCount')
	ALTER TABLE PROBLEM ADD UseCount int NOT NULL CONSTRAINT DF_PROBLEM_UseCount DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('USERINFO') and name = 'UserCode')
	ALTER TABLE USERINFO ADD UserCode nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL
GO

if not exists (select * from syscolumns where id = object_id('PAPER') and name = 'PassScore')
	ALTER TABLE PAPER ADD PassScore decimal(6,2) NOT NULL CONSTRAINT DF_PAPER_PassScore DEFAULT (60)
GO

if not exists (select * from syscolumns where id = object_id('RESULT') and name = 'IsPassed')
	ALTER TABLE RESULT ADD IsPassed bit NOT NULL CONSTRAINT DF_RESULT_IsPassed DEFAULT (0)
GO

if not exists (select * from syscolumns where id = object_id('ANSWERSHEET') and name = 'MarkerID')
	ALTER TABLE ANSWERSHEET ADD MarkerID int NULL
GO

if not exists (select * from syscolumns where id = object_id('SYLLABUS') and name = 'Version')
	ALTER TABLE SYLLABUS ADD Version nvarchar(20) COLLATE Chinese_PRC_CI_AS NULL
GO

if not exists (select * from syscolumns where id = object_id('TESTARRANGE') and name = 'Place')
	ALTER TABLE TESTARRANGE ADD Place nvarchar(100) COLLATE Chinese_PRC_CI_AS NULL
GO

if not exists (select * from syscolumns where id = object_id('TestSetting') and name = 'LimitIP')
	ALTER TABLE TestSetting ADD LimitIP varchar(200) COLLATE Chinese_PRC_CI_AS NULL
GO

/*==============================================================*/
/* 索引                                                          */
/*==============================================================*/
if not exists (select * from sysindexes where id = object_id('ANSWERSHEET_CACHE') and name = 'IX_ANSWERSHEET_CACHE_User')
	CREATE INDEX IX_ANSWERSHEET_CACHE_User ON ANSWERSHEET_CACHE (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('GroupInfo') and name = 'IX_GroupInfo_ParentID')
	CREATE INDEX IX_GroupInfo_ParentID ON GroupInfo (ParentID)
GO

if not exists (select * from sysindexes where id = object_id('OfficeCompareItem') and name = 'IX_OfficeCompareItem_ProblemID')
	CREATE INDEX IX_OfficeCompareItem_ProblemID ON OfficeCompareItem (ProblemID)
GO

if not exists (select * from sysindexes where id = object_id('PROBLEMGROUP') and name = 'IX_PROBLEMGROUP_ProblemID')
	CREATE INDEX IX_PROBLEMGROUP_ProblemID ON PROBLEMGROUP (ProblemID)
GO

if not exists (select * from sysindexes where id = object_id('PaperAuditRecord') and name = 'IX_PaperAuditRecord_PaperID')
	CREATE INDEX IX_PaperAuditRecord_PaperID ON PaperAuditRecord (PaperID)
GO

if not exists (select * from sysindexes where id = object_id('ProblemComments') and name = 'IX_ProblemComments_ProblemID')
	CREATE INDEX IX_ProblemComments_ProblemID ON ProblemComments (ProblemID)
GO

if not exists (select * from sysindexes where id = object_id('ROLEADMIN') and name = 'IX_ROLEADMIN_RoleName')
	CREATE UNIQUE INDEX IX_ROLEADMIN_RoleName ON ROLEADMIN (RoleName)
GO

if not exists (select * from sysindexes where id = object_id('RightItem') and name = 'IX_RightItem_RightCode')
	CREATE UNIQUE INDEX IX_RightItem_RightCode ON RightItem (RightCode)
GO

if not exists (select * from sysindexes where id = object_id('SUBJECT') and name = 'IX_SUBJECT_ParentID')
	CREATE INDEX IX_SUBJECT_ParentID ON SUBJECT (ParentID)
GO

if not exists (select * from sysindexes where id = object_id('UserLog') and name = 'IX_UserLog_UserID')
	CREATE INDEX IX_UserLog_UserID ON UserLog (UserID)
GO

if not exists (select * from sysindexes where id = object_id('UserLog') and name = 'IX_UserLog_LogTime')
	CREATE INDEX IX_UserLog_LogTime ON UserLog (LogTime)
GO

if not exists (select * from sysindexes where id = object_id('COURSE') and name = 'IX_COURSE_CourseCode')
	CREATE INDEX IX_COURSE_CourseCode ON COURSE (CourseCode)
GO

if not exists (select * from sysindexes where id = object_id('FEATURE') and name = 'IX_FEATURE_SubjectID')
	CREATE INDEX IX_FEATURE_SubjectID ON FEATURE (SubjectID)
GO

if not exists (select * from sysindexes where id = object_id('FEATURE') and name = 'IX_FEATURE_ParentID')
	CREATE INDEX IX_FEATURE_ParentID ON FEATURE (ParentID)
GO

if not exists (select * from sysindexes where id = object_id('PAPERDESIGN') and name = 'IX_PAPERDESIGN_PaperID')
	CREATE INDEX IX_PAPERDESIGN_PaperID ON PAPERDESIGN (PaperID)
GO

if not exists (select * from sysindexes where id = object_id('PROBLEM') and name = 'IX_PROBLEM_SubjectID')
	CREATE INDEX IX_PROBLEM_SubjectID ON PROBLEM (SubjectID)
GO

if not exists (select * from sysindexes where id = object_id('PROBLEM') and name = 'IX_PROBLEM_TypeID')
	CREATE INDEX IX_PROBLEM_TypeID ON PROBLEM (TypeID)
GO

if not exists (select * from sysindexes where id = object_id('USERINFO') and name = 'IX_USERINFO_NAME')
	CREATE UNIQUE INDEX IX_USERINFO_NAME ON USERINFO (NAME)
GO

if not exists (select * from sysindexes where id = object_id('USERINFO') and name = 'IX_USERINFO_UserCode')
	CREATE INDEX IX_USERINFO_UserCode ON USERINFO (UserCode)
GO

if not exists (select * from sysindexes where id = object_id('CoursePracticeSetting') and name = 'IX_CoursePracticeSetting_CourseID')
	CREATE INDEX IX_CoursePracticeSetting_CourseID ON CoursePracticeSetting (CourseID)
GO

if not exists (select * from sysindexes where id = object_id('CoursesUsers') and name = 'IX_CoursesUsers_CourseID')
	CREATE INDEX IX_CoursesUsers_CourseID ON CoursesUsers (CourseID)
GO

if not exists (select * from sysindexes where id = object_id('FEATUREPARTITION') and name = 'IX_FEATUREPARTITION_FeatureID')
	CREATE INDEX IX_FEATUREPARTITION_FeatureID ON FEATUREPARTITION (FeatureID)
GO

if not exists (select * from sysindexes where id = object_id('GroupUser') and name = 'IX_GroupUser_UserID')
	CREATE INDEX IX_GroupUser_UserID ON GroupUser (UserID)
GO

if not exists (select * from sysindexes where id = object_id('PAPER') and name = 'IX_PAPER_CourseID')
	CREATE INDEX IX_PAPER_CourseID ON PAPER (CourseID)
GO

if not exists (select * from sysindexes where id = object_id('PROBLEMSFEATURES') and name = 'IX_PROBLEMSFEATURES_FeatureID')
	CREATE INDEX IX_PROBLEMSFEATURES_FeatureID ON PROBLEMSFEATURES (FeatureID)
GO

if not exists (select * from sysindexes where id = object_id('RESULT') and name = 'IX_RESULT_ArrangeUser')
	CREATE UNIQUE INDEX IX_RESULT_ArrangeUser ON RESULT (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('UserFavoriteType') and name = 'IX_UserFavoriteType_UserID')
	CREATE INDEX IX_UserFavoriteType_UserID ON UserFavoriteType (UserID)
GO

if not exists (select * from sysindexes where id = object_id('UserRole') and name = 'IX_UserRole_RoleID')
	CREATE INDEX IX_UserRole_RoleID ON UserRole (RoleID)
GO

if not exists (select * from sysindexes where id = object_id('ANSWERSHEET') and name = 'IX_ANSWERSHEET_ArrangeUser')
	CREATE INDEX IX_ANSWERSHEET_ArrangeUser ON ANSWERSHEET (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('Practice') and name = 'IX_Practice_UserID')
	CREATE INDEX IX_Practice_UserID ON Practice (UserID)
GO

if not exists (select * from sysindexes where id = object_id('TESTARRANGE') and name = 'IX_TESTARRANGE_PaperID')
	CREATE INDEX IX_TESTARRANGE_PaperID ON TESTARRANGE (PaperID)
GO

if not exists (select * from sysindexes where id = object_id('TESTARRANGE') and name = 'IX_TESTARRANGE_StartTime')
	CREATE INDEX IX_TESTARRANGE_StartTime ON TESTARRANGE (StartTime)
GO

if not exists (select * from sysindexes where id = object_id('ExamLog') and name = 'IX_ExamLog_ArrangeUser')
	CREATE INDEX IX_ExamLog_ArrangeUser ON ExamLog (ArrangeID, UserID)
GO

if not exists (select * from sysindexes where id = object_id('TESTSTUDENT') and name = 'IX_TESTSTUDENT_UserID')
	CREATE INDEX IX_TESTSTUDENT_UserID ON TESTSTUDENT (UserID)
GO

if not exists (select * from sysindexes where id = object_id('ExamMessage') and name = 'IX_ExamMessage_ArrangeID')
	CREATE INDEX IX_ExamMessage_ArrangeID ON ExamMessage (ArrangeID)
GO

/*==============================================================*/
/* 外键                                                          */
/*==============================================================*/
if not exists (select * from sysobjects where name = 'FK_FEATUREFORMAT_FEATURE' and xtype = 'F')
	ALTER TABLE FEATUREFORMAT ADD CONSTRAINT FK_FEATUREFORMAT_FEATURE FOREIGN KEY (FeatureID) REFERENCES FEATURE (FeatureID)
GO

if not exists (select * from sysobjects where name = 'FK_OfficeCompareItem_PROBLEM' and xtype = 'F')
	ALTER TABLE OfficeCompareItem ADD CONSTRAINT FK_OfficeCompareItem_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_OfficeCompareItem_OfficeCompareEnum' and xtype = 'F')
	ALTER TABLE OfficeCompareItem ADD CONSTRAINT FK_OfficeCompareItem_OfficeCompareEnum FOREIGN KEY (EnumID) REFERENCES OfficeCompareEnum (EnumID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEMGROUP_PROBLEM' and xtype = 'F')
	ALTER TABLE PROBLEMGROUP ADD CONSTRAINT FK_PROBLEMGROUP_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperAuditRecord_PAPER' and xtype = 'F')
	ALTER TABLE PaperAuditRecord ADD CONSTRAINT FK_PaperAuditRecord_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperAuditSetting_PAPER' and xtype = 'F')
	ALTER TABLE PaperAuditSetting ADD CONSTRAINT FK_PaperAuditSetting_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperPrintSetting_PAPER' and xtype = 'F')
	ALTER TABLE PaperPrintSetting ADD CONSTRAINT FK_PaperPrintSetting_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_ProblemComments_PROBLEM' and xtype = 'F')
	ALTER TABLE ProblemComments ADD CONSTRAINT FK_ProblemComments_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_CoursesGroups_COURSE' and xtype = 'F')
	ALTER TABLE CoursesGroups ADD CONSTRAINT FK_CoursesGroups_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_CoursesGroups_GroupInfo' and xtype = 'F')
	ALTER TABLE CoursesGroups ADD CONSTRAINT FK_CoursesGroups_GroupInfo FOREIGN KEY (GroupID) REFERENCES GroupInfo (GroupID)
GO

if not exists (select * from sysobjects where name = 'FK_FEATURE_SUBJECT' and xtype = 'F')
	ALTER TABLE FEATURE ADD CONSTRAINT FK_FEATURE_SUBJECT FOREIGN KEY (SubjectID) REFERENCES SUBJECT (SubjectID)
GO

if not exists (select * from sysobjects where name = 'FK_GroupRole_GroupInfo' and xtype = 'F')
	ALTER TABLE GroupRole ADD CONSTRAINT FK_GroupRole_GroupInfo FOREIGN KEY (GroupID) REFERENCES GroupInfo (GroupID)
GO

if not exists (select * from sysobjects where name = 'FK_GroupRole_ROLEADMIN' and xtype = 'F')
	ALTER TABLE GroupRole ADD CONSTRAINT FK_GroupRole_ROLEADMIN FOREIGN KEY (RoleID) REFERENCES ROLEADMIN (RoleID)
GO

if not exists (select * from sysobjects where name = 'FK_PAPERDESIGN_PAPER' and xtype = 'F')
	ALTER TABLE PAPERDESIGN ADD CONSTRAINT FK_PAPERDESIGN_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PAPERDESIGN_REF_PROBLEMTYPE' and xtype = 'F')
	ALTER TABLE PAPERDESIGN ADD CONSTRAINT FK_PAPERDESIGN_REF_PROBLEMTYPE FOREIGN KEY (TypeID) REFERENCES REF_PROBLEMTYPE (TypeID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEM_SUBJECT' and xtype = 'F')
	ALTER TABLE PROBLEM ADD CONSTRAINT FK_PROBLEM_SUBJECT FOREIGN KEY (SubjectID) REFERENCES SUBJECT (SubjectID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEM_REF_PROBLEMTYPE' and xtype = 'F')
	ALTER TABLE PROBLEM ADD CONSTRAINT FK_PROBLEM_REF_PROBLEMTYPE FOREIGN KEY (TypeID) REFERENCES REF_PROBLEMTYPE (TypeID)
GO

if not exists (select * from sysobjects where name = 'FK_RolesRights_ROLEADMIN' and xtype = 'F')
	ALTER TABLE RolesRights ADD CONSTRAINT FK_RolesRights_ROLEADMIN FOREIGN KEY (RoleID) REFERENCES ROLEADMIN (RoleID)
GO

if not exists (select * from sysobjects where name = 'FK_RolesRights_RightItem' and xtype = 'F')
	ALTER TABLE RolesRights ADD CONSTRAINT FK_RolesRights_RightItem FOREIGN KEY (RightID) REFERENCES RightItem (RightID)
GO

if not exists (select * from sysobjects where name = 'FK_COURSESSUBJECTS_COURSE' and xtype = 'F')
	ALTER TABLE COURSESSUBJECTS ADD CONSTRAINT FK_COURSESSUBJECTS_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_COURSESSUBJECTS_SUBJECT' and xtype = 'F')
	ALTER TABLE COURSESSUBJECTS ADD CONSTRAINT FK_COURSESSUBJECTS_SUBJECT FOREIGN KEY (SubjectID) REFERENCES SUBJECT (SubjectID)
GO

if not exists (select * from sysobjects where name = 'FK_CourseExt_COURSE' and xtype = 'F')
	ALTER TABLE CourseExt ADD CONSTRAINT FK_CourseExt_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_CoursePracticeSetting_COURSE' and xtype = 'F')
	ALTER TABLE CoursePracticeSetting ADD CONSTRAINT FK_CoursePracticeSetting_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_CoursesUsers_USERINFO' and xtype = 'F')
	ALTER TABLE CoursesUsers ADD CONSTRAINT FK_CoursesUsers_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_FEATUREPARTITION_FEATURE' and xtype = 'F')
	ALTER TABLE FEATUREPARTITION ADD CONSTRAINT FK_FEATUREPARTITION_FEATURE FOREIGN KEY (FeatureID) REFERENCES FEATURE (FeatureID)
GO

if not exists (select * from sysobjects where name = 'FK_GroupUser_GroupInfo' and xtype = 'F')
	ALTER TABLE GroupUser ADD CONSTRAINT FK_GroupUser_GroupInfo FOREIGN KEY (GroupID) REFERENCES GroupInfo (GroupID)
GO

if not exists (select * from sysobjects where name = 'FK_GroupUser_USERINFO' and xtype = 'F')
	ALTER TABLE GroupUser ADD CONSTRAINT FK_GroupUser_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_LOCKEDPROBLEM_PROBLEM' and xtype = 'F')
	ALTER TABLE LOCKEDPROBLEM ADD CONSTRAINT FK_LOCKEDPROBLEM_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PAPER_COURSE' and xtype = 'F')
	ALTER TABLE PAPER ADD CONSTRAINT FK_PAPER_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEMSFEATURES_PROBLEM' and xtype = 'F')
	ALTER TABLE PROBLEMSFEATURES ADD CONSTRAINT FK_PROBLEMSFEATURES_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEMSFEATURES_FEATURE' and xtype = 'F')
	ALTER TABLE PROBLEMSFEATURES ADD CONSTRAINT FK_PROBLEMSFEATURES_FEATURE FOREIGN KEY (FeatureID) REFERENCES FEATURE (FeatureID)
GO

if not exists (select * from sysobjects where name = 'FK_ProblemDetails_PROBLEM' and xtype = 'F')
	ALTER TABLE ProblemDetails ADD CONSTRAINT FK_ProblemDetails_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_ProblemExt_PROBLEM' and xtype = 'F')
	ALTER TABLE ProblemExt ADD CONSTRAINT FK_ProblemExt_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_RESULT_USERINFO' and xtype = 'F')
	ALTER TABLE RESULT ADD CONSTRAINT FK_RESULT_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_RESULT_TESTARRANGE' and xtype = 'F')
	ALTER TABLE RESULT ADD CONSTRAINT FK_RESULT_TESTARRANGE FOREIGN KEY (ArrangeID) REFERENCES TESTARRANGE (ArrangeID)
GO

if not exists (select * from sysobjects where name = 'FK_USERDETAILS_USERINFO' and xtype = 'F')
	ALTER TABLE USERDETAILS ADD CONSTRAINT FK_USERDETAILS_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_USERDETAILS_USERDETAILFIELDS' and xtype = 'F')
	ALTER TABLE USERDETAILS ADD CONSTRAINT FK_USERDETAILS_USERDETAILFIELDS FOREIGN KEY (FieldID) REFERENCES USERDETAILFIELDS (FieldID)
GO

if not exists (select * from sysobjects where name = 'FK_UserFavoriteType_USERINFO' and xtype = 'F')
	ALTER TABLE UserFavoriteType ADD CONSTRAINT FK_UserFavoriteType_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_UserRole_USERINFO' and xtype = 'F')
	ALTER TABLE UserRole ADD CONSTRAINT FK_UserRole_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_UserRole_ROLEADMIN' and xtype = 'F')
	ALTER TABLE UserRole ADD CONSTRAINT FK_UserRole_ROLEADMIN FOREIGN KEY (RoleID) REFERENCES ROLEADMIN (RoleID)
GO

if not exists (select * from sysobjects where name = 'FK_UsersRights_USERINFO' and xtype = 'F')
	ALTER TABLE UsersRights ADD CONSTRAINT FK_UsersRights_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_UsersRights_RightItem' and xtype = 'F')
	ALTER TABLE UsersRights ADD CONSTRAINT FK_UsersRights_RightItem FOREIGN KEY (RightID) REFERENCES RightItem (RightID)
GO

if not exists (select * from sysobjects where name = 'FK_ANSWERSHEET_TESTARRANGE' and xtype = 'F')
	ALTER TABLE ANSWERSHEET ADD CONSTRAINT FK_ANSWERSHEET_TESTARRANGE FOREIGN KEY (ArrangeID) REFERENCES TESTARRANGE (ArrangeID)
GO

if not exists (select * from sysobjects where name = 'FK_ANSWERSHEET_PROBLEM' and xtype = 'F')
	ALTER TABLE ANSWERSHEET ADD CONSTRAINT FK_ANSWERSHEET_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_COURSESFEATUREPARTITIONS_COURSE' and xtype = 'F')
	ALTER TABLE COURSESFEATUREPARTITIONS ADD CONSTRAINT FK_COURSESFEATUREPARTITIONS_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_COURSESFEATUREPARTITIONS_FEATUREPARTITION' and xtype = 'F')
	ALTER TABLE COURSESFEATUREPARTITIONS ADD CONSTRAINT FK_COURSESFEATUREPARTITIONS_FEATUREPARTITION FOREIGN KEY (PartitionID) REFERENCES FEATUREPARTITION (PartitionID)
GO

if not exists (select * from sysobjects where name = 'FK_PAPERTEACHER_PAPER' and xtype = 'F')
	ALTER TABLE PAPERTEACHER ADD CONSTRAINT FK_PAPERTEACHER_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PAPERTEACHER_USERINFO' and xtype = 'F')
	ALTER TABLE PAPERTEACHER ADD CONSTRAINT FK_PAPERTEACHER_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEMSCONTENTS_PROBLEM' and xtype = 'F')
	ALTER TABLE PROBLEMSCONTENTS ADD CONSTRAINT FK_PROBLEMSCONTENTS_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PROBLEMSCONTENTS_CONTENT' and xtype = 'F')
	ALTER TABLE PROBLEMSCONTENTS ADD CONSTRAINT FK_PROBLEMSCONTENTS_CONTENT FOREIGN KEY (ContentID) REFERENCES CONTENT (ContentID)
GO

if not exists (select * from sysobjects where name = 'FK_Practice_USERINFO' and xtype = 'F')
	ALTER TABLE Practice ADD CONSTRAINT FK_Practice_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_SYLLABUS_COURSE' and xtype = 'F')
	ALTER TABLE SYLLABUS ADD CONSTRAINT FK_SYLLABUS_COURSE FOREIGN KEY (CourseID) REFERENCES COURSE (CourseID)
GO

if not exists (select * from sysobjects where name = 'FK_TESTARRANGE_PAPER' and xtype = 'F')
	ALTER TABLE TESTARRANGE ADD CONSTRAINT FK_TESTARRANGE_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_TestSetting_TESTARRANGE' and xtype = 'F')
	ALTER TABLE TestSetting ADD CONSTRAINT FK_TestSetting_TESTARRANGE FOREIGN KEY (ArrangeID) REFERENCES TESTARRANGE (ArrangeID)
GO

if not exists (select * from sysobjects where name = 'FK_USERPERMISSION_USERINFO' and xtype = 'F')
	ALTER TABLE USERPERMISSION ADD CONSTRAINT FK_USERPERMISSION_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_UserProblem_USERINFO' and xtype = 'F')
	ALTER TABLE UserProblem ADD CONSTRAINT FK_UserProblem_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_UserProblem_PROBLEM' and xtype = 'F')
	ALTER TABLE UserProblem ADD CONSTRAINT FK_UserProblem_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperTeacherProblem_PAPER' and xtype = 'F')
	ALTER TABLE PaperTeacherProblem ADD CONSTRAINT FK_PaperTeacherProblem_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperTeacherProblem_PROBLEM' and xtype = 'F')
	ALTER TABLE PaperTeacherProblem ADD CONSTRAINT FK_PaperTeacherProblem_PROBLEM FOREIGN KEY (ProblemID) REFERENCES PROBLEM (ProblemID)
GO

if not exists (select * from sysobjects where name = 'FK_PaperTeacherStudent_PAPER' and xtype = 'F')
	ALTER TABLE PaperTeacherStudent ADD CONSTRAINT FK_PaperTeacherStudent_PAPER FOREIGN KEY (PaperID) REFERENCES PAPER (PaperID)
GO

if not exists (select * from sysobjects where name = 'FK_PracticeResult_Practice' and xtype = 'F')
	ALTER TABLE PracticeResult ADD CONSTRAINT FK_PracticeResult_Practice FOREIGN KEY (PracticeID) REFERENCES Practice (PracticeID)
GO

if not exists (select * from sysobjects where name = 'FK_TESTSTUDENT_TESTARRANGE' and xtype = 'F')
	ALTER TABLE TESTSTUDENT ADD CONSTRAINT FK_TESTSTUDENT_TESTARRANGE FOREIGN KEY (ArrangeID) REFERENCES TESTARRANGE (ArrangeID)
GO

if not exists (select * from sysobjects where name = 'FK_TESTSTUDENT_USERINFO' and xtype = 'F')
	ALTER TABLE TESTSTUDENT ADD CONSTRAINT FK_TESTSTUDENT_USERINFO FOREIGN KEY (UserID) REFERENCES USERINFO (USERID)
GO

if not exists (select * from sysobjects where name = 'FK_ExamMessage_TESTARRANGE' and xtype = 'F')
	ALTER TABLE ExamMessage ADD CONSTRAINT FK_ExamMessage_TESTARRANGE FOREIGN KEY (ArrangeID) REFERENCES TESTARRANGE (ArrangeID)
GO

/*==============================================================*/
/* 视图、存储过程和触发器：先删除再重建                              */
/*==============================================================*/
if exists (select * from sysobjects where id = object_id('v_UserRoles') and xtype = 'V')
	drop view v_UserRoles
GO

SET QUOTED_IDENTIFIER ON 
go
SET ANSI_NULLS ON 
go

CREATE VIEW v_UserRoles
AS
select u.USERID, u.NAME, u.CHINESENAME, u.UserCode, r.RoleID, r.RoleName, r.Permission
from USERINFO u
inner join UserRole ur on ur.UserID = u.USERID
inner join ROLEADMIN r on r.RoleID = ur.RoleID
go

if exists (select * from sysobjects where id = object_id('v_PaperInfo') and xtype = 'V')
	drop view v_PaperInfo
GO

SET QUOTED_IDENTIFIER ON 
go
SET ANSI_NULLS ON 
go

CREATE VIEW v_PaperInfo
AS
select p.PaperID, p.PaperName, p.TotalScore, p.PassScore, p.Duration, p.Status, c.CourseID, c.CourseName
from PAPER p
inner join COURSE c on c.CourseID = p.CourseID
go

if exists (select * from sysobjects where id = object_id('v_ProblemInfo') and xtype = 'V')
	drop view v_ProblemInfo
GO

SET QUOTED_IDENTIFIER ON 
go
SET ANSI_NULLS ON 
go

CREATE VIEW v_ProblemInfo
AS
select p.ProblemID, p.Title, p.Difficulty, p.Score, p.Status, p.UseCount, s.SubjectID, s.SubjectName, t.TypeID, t.TypeName, t.IsObjective
from PROBLEM p
inner join SUBJECT s on s.SubjectID = p.SubjectID
inner join REF_PROBLEMTYPE t on t.TypeID = p.TypeID
go

if exists (select * from sysobjects where id = object_id('v_TestResult') and xtype = 'V')
	drop view v_TestResult
GO

SET QUOTED_IDENTIFIER ON 
go
SET ANSI_NULLS ON 
go

CREATE VIEW v_TestResult
AS
select r.ResultID, r.ArrangeID, a.ArrangeName, a.StartTime, r.UserID, u.NAME, u.CHINESENAME, r.PaperID, r.TotalScore, r.IsPassed, r.SubmitTime
from RESULT r
inner join TESTARRANGE a on a.ArrangeID = r.ArrangeID
inner join USERINFO u on u.USERID = r.UserID
go

if exists (select * from sysobjects where id = object_id('sp_drop_group') and xtype = 'P')
	drop procedure sp_drop_group
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_group
	@GroupID int
AS
SET NOCOUNT ON
-- 组的成员、角色和课程随组一起删除
delete from GroupUser where GroupID = @GroupID
delete from GroupRole where GroupID = @GroupID
delete from CoursesGroups where GroupID = @GroupID
update GroupInfo set ParentID = 0 where ParentID = @GroupID
delete from GroupInfo where GroupID = @GroupID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_role') and xtype = 'P')
	drop procedure sp_drop_role
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_role
	@RoleID int
AS
SET NOCOUNT ON
-- 角色 0 是系统管理员，不能删除
if @RoleID <> 0
begin
	delete from RolesRights where RoleID = @RoleID
	delete from UserRole where RoleID = @RoleID
	delete from GroupRole where RoleID = @RoleID
	delete from COURSEPERMISSION where RoleID = @RoleID
	delete from ROLEADMIN where RoleID = @RoleID
end
GO

if exists (select * from sysobjects where id = object_id('sp_drop_content') and xtype = 'P')
	drop procedure sp_drop_content
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_content
	@ContentID int
AS
SET NOCOUNT ON
delete from PROBLEMSCONTENTS where ContentID = @ContentID
delete from CONTENT where ContentID = @ContentID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_course') and xtype = 'P')
	drop procedure sp_drop_course
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_course
	@CourseID int
AS
SET NOCOUNT ON
-- 课程的试卷连同考试安排和答卷一并删除
delete from TESTSTUDENT where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from TestSetting where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from ANSWERSHEET where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from ANSWERSHEET_CACHE where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from RESULT where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from ExamLog where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from ExamMessage where ArrangeID in (select ArrangeID from TESTARRANGE where CourseID = @CourseID)
delete from TESTARRANGE where CourseID = @CourseID or PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PAPERDESIGN where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PAPERTEACHER where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperTeacherProblem where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperTeacherStudent where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperAnalyze where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperAuditRecord where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperAuditSetting where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PaperPrintSetting where PaperID in (select PaperID from PAPER where CourseID = @CourseID)
delete from PracticeResult where PracticeID in (select PracticeID from Practice where CourseID = @CourseID)
delete from Practice where CourseID = @CourseID
delete from PAPER where CourseID = @CourseID
delete from COURSESSUBJECTS where CourseID = @CourseID
delete from CoursesUsers where CourseID = @CourseID
delete from CoursesGroups where CourseID = @CourseID
delete from COURSESFEATUREPARTITIONS where CourseID = @CourseID
delete from COURSEPERMISSION where CourseID = @CourseID
delete from USERPERMISSION where CourseID = @CourseID
delete from CourseExt where CourseID = @CourseID
delete from CoursePracticeSetting where CourseID = @CourseID
delete from SYLLABUS where CourseID = @CourseID
delete from COURSE where CourseID = @CourseID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_course_featurepartition') and xtype = 'P')
	drop procedure sp_drop_course_featurepartition
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_course_featurepartition
	@CourseID int,
	@PartitionID int
AS
SET NOCOUNT ON
delete from COURSESFEATUREPARTITIONS where CourseID = @CourseID and PartitionID = @PartitionID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_feature') and xtype = 'P')
	drop procedure sp_drop_feature
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_feature
	@FeatureID int
AS
SET NOCOUNT ON
-- 下级知识点挂到被删除知识点的上级
update FEATURE set ParentID = (select ParentID from FEATURE where FeatureID = @FeatureID) where ParentID = @FeatureID
delete from COURSESFEATUREPARTITIONS where PartitionID in (select PartitionID from FEATUREPARTITION where FeatureID = @FeatureID)
update PAPERDESIGN set PartitionID = 0 where PartitionID in (select PartitionID from FEATUREPARTITION where FeatureID = @FeatureID)
delete from FEATUREPARTITION where FeatureID = @FeatureID
delete from FEATUREFORMAT where FeatureID = @FeatureID
delete from PROBLEMSFEATURES where FeatureID = @FeatureID
delete from FEATURE where FeatureID = @FeatureID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_featurepartition') and xtype = 'P')
	drop procedure sp_drop_featurepartition
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_featurepartition
	@PartitionID int
AS
SET NOCOUNT ON
delete from COURSESFEATUREPARTITIONS where PartitionID = @PartitionID
update PAPERDESIGN set PartitionID = 0 where PartitionID = @PartitionID
delete from FEATUREPARTITION where PartitionID = @PartitionID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_problem') and xtype = 'P')
	drop procedure sp_drop_problem
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_problem
	@ProblemID int
AS
SET NOCOUNT ON
delete from PROBLEMSFEATURES where ProblemID = @ProblemID
delete from CONTENT where ContentID in (select ContentID from PROBLEMSCONTENTS where ProblemID = @ProblemID) and ContentID not in (select ContentID from PROBLEMSCONTENTS where ProblemID <> @ProblemID)
delete from PROBLEMSCONTENTS where ProblemID = @ProblemID
delete from PROBLEMGROUP where ProblemID = @ProblemID or ChildProblemID = @ProblemID
delete from ProblemComments where ProblemID = @ProblemID
delete from ProblemDetails where ProblemID = @ProblemID
delete from ProblemExt where ProblemID = @ProblemID
delete from OfficeCompareItem where ProblemID = @ProblemID
delete from LOCKEDPROBLEM where ProblemID = @ProblemID
delete from UserProblem where ProblemID = @ProblemID
delete from PaperTeacherProblem where ProblemID = @ProblemID
delete from PaperAnalyze where ProblemID = @ProblemID
delete from PracticeResult where ProblemID = @ProblemID
delete from ANSWERSHEET where ProblemID = @ProblemID
delete from PROBLEM where ProblemID = @ProblemID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_subject') and xtype = 'P')
	drop procedure sp_drop_subject
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_subject
	@SubjectID int
AS
SET NOCOUNT ON
-- 科目下的试题和知识点一并删除
delete from PROBLEMSFEATURES where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PROBLEMSCONTENTS where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PROBLEMGROUP where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from ProblemComments where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from ProblemDetails where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from ProblemExt where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from OfficeCompareItem where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from LOCKEDPROBLEM where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from UserProblem where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PaperTeacherProblem where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PaperAnalyze where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PracticeResult where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from ANSWERSHEET where ProblemID in (select ProblemID from PROBLEM where SubjectID = @SubjectID)
delete from PROBLEM where SubjectID = @SubjectID
delete from COURSESFEATUREPARTITIONS where PartitionID in (select p.PartitionID from FEATUREPARTITION p, FEATURE f where p.FeatureID = f.FeatureID and f.SubjectID = @SubjectID)
update PAPERDESIGN set PartitionID = 0 where PartitionID in (select p.PartitionID from FEATUREPARTITION p, FEATURE f where p.FeatureID = f.FeatureID and f.SubjectID = @SubjectID)
delete from FEATUREPARTITION where FeatureID in (select FeatureID from FEATURE where SubjectID = @SubjectID)
delete from FEATUREFORMAT where FeatureID in (select FeatureID from FEATURE where SubjectID = @SubjectID)
delete from PROBLEMSFEATURES where FeatureID in (select FeatureID from FEATURE where SubjectID = @SubjectID)
delete from FEATURE where SubjectID = @SubjectID
delete from COURSESSUBJECTS where SubjectID = @SubjectID
update SUBJECT set ParentID = 0 where ParentID = @SubjectID
delete from SUBJECT where SubjectID = @SubjectID
GO

if exists (select * from sysobjects where id = object_id('sp_update_ProblemsContents') and xtype = 'P')
	drop procedure sp_update_ProblemsContents
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_update_ProblemsContents
	@ProblemID int,
	@ContentID int,
	@SortOrder int
AS
SET NOCOUNT ON
if exists (select * from PROBLEMSCONTENTS where ProblemID = @ProblemID and ContentID = @ContentID)
	update PROBLEMSCONTENTS set SortOrder = @SortOrder where ProblemID = @ProblemID and ContentID = @ContentID
else
	insert into PROBLEMSCONTENTS (ProblemID, ContentID, SortOrder) values (@ProblemID, @ContentID, @SortOrder)
update PROBLEM set LASTUPDATED = getdate() where ProblemID = @ProblemID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_paper') and xtype = 'P')
	drop procedure sp_drop_paper
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_paper
	@PaperID int,
	@UserID int = null
AS
SET NOCOUNT ON
-- 删除试卷时保留一条删除记录
if not exists (select * from PAPER_DELETE where PaperID = @PaperID)
	insert into PAPER_DELETE (PaperID, CourseID, PaperName, DeleteTime, DeletedBy) select PaperID, CourseID, PaperName, getdate(), @UserID from PAPER where PaperID = @PaperID
delete from TESTSTUDENT where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from TestSetting where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from ANSWERSHEET where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from ANSWERSHEET_CACHE where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from RESULT where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from ExamLog where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from ExamMessage where ArrangeID in (select ArrangeID from TESTARRANGE where PaperID = @PaperID)
delete from TESTARRANGE where PaperID = @PaperID
delete from PAPERDESIGN where PaperID = @PaperID
delete from PAPERTEACHER where PaperID = @PaperID
delete from PaperTeacherProblem where PaperID = @PaperID
delete from PaperTeacherStudent where PaperID = @PaperID
delete from PaperAnalyze where PaperID = @PaperID
delete from PaperAuditRecord where PaperID = @PaperID
delete from PaperAuditSetting where PaperID = @PaperID
delete from PaperPrintSetting where PaperID = @PaperID
update Practice set PaperID = null where PaperID = @PaperID
delete from PAPER where PaperID = @PaperID
GO

if exists (select * from sysobjects where id = object_id('sp_drop_user') and xtype = 'P')
	drop procedure sp_drop_user
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE PROCEDURE sp_drop_user
	@UserID int,
	@OperatorID int = null
AS
SET NOCOUNT ON
if not exists (select * from USER_DELETE where USERID = @UserID)
	insert into USER_DELETE (USERID, NAME, CHINESENAME, DeleteTime, DeletedBy) select USERID, NAME, CHINESENAME, getdate(), @OperatorID from USERINFO where USERID = @UserID
delete from UserRole where UserID = @UserID
delete from CoursesUsers where UserID = @UserID
delete from GroupUser where UserID = @UserID
delete from UsersRights where UserID = @UserID
delete from USERPERMISSION where UserID = @UserID
delete from USERDETAILS where UserID = @UserID
delete from UserConfig where UserID = @UserID
delete from UserTextSettings where UserID = @UserID
delete from UserProblem where UserID = @UserID
delete from UserFavoriteType where UserID = @UserID
delete from PAPERTEACHER where UserID = @UserID
delete from PaperTeacherProblem where UserID = @UserID
delete from PaperTeacherStudent where TeacherID = @UserID or StudentID = @UserID
delete from TESTSTUDENT where UserID = @UserID
delete from ANSWERSHEET where UserID = @UserID
delete from ANSWERSHEET_CACHE where UserID = @UserID
delete from RESULT where UserID = @UserID
delete from PracticeResult where PracticeID in (select PracticeID from Practice where UserID = @UserID)
delete from Practice where UserID = @UserID
delete from LOCKEDPROBLEM where UserID = @UserID
delete from USERINFO where USERID = @UserID
GO

if exists (select * from sysobjects where id = object_id('tri_Fea_Upd_subjectsensitive') and xtype = 'TR')
	drop trigger tri_Fea_Upd_subjectsensitive
GO

SET QUOTED_IDENTIFIER ON 
GO
SET ANSI_NULLS ON 
GO

CREATE TRIGGER tri_Fea_Upd_subjectsensitive ON FEATURE
FOR UPDATE
AS
SET NOCOUNT ON
-- 知识点的科目敏感标志传给它的下级知识点
update FEATURE set SubjectSensitive = i.SubjectSensitive
from FEATURE, inserted i, deleted d
where i.FeatureID = d.FeatureID and i.SubjectSensitive <> d.SubjectSensitive and FEATURE.ParentID = i.FeatureID
GO

SET QUOTED_IDENTIFIER OFF 
GO
SET ANSI_NULLS ON 
GO


/*==============================================================*/
/* 系统自带的数据：升级后与新安装相同                                */
/* T7DATA 只补没有的行；旧版本留下的权限和内置角色在这里改成当前的值，  */
/* 名称被别的行占用时不改。                                         */
/*==============================================================*/

if not exists (select * from RightItem where RightCode = 'SYS' and RightID <> 1)
	update RightItem set RightName = N'系统管理', RightCode = 'SYS', ParentID = 0, Permission = 1, SortOrder = 1 where RightID = 1
if not exists (select * from RightItem where RightCode = 'SYS_USER' and RightID <> 2)
	update RightItem set RightName = N'用户管理', RightCode = 'SYS_USER', ParentID = 1, Permission = 2, SortOrder = 2 where RightID = 2
if not exists (select * from RightItem where RightCode = 'SYS_ROLE' and RightID <> 3)
	update RightItem set RightName = N'角色管理', RightCode = 'SYS_ROLE', ParentID = 1, Permission = 4, SortOrder = 3 where RightID = 3
if not exists (select * from RightItem where RightCode = 'SYS_GROUP' and RightID <> 4)
	update RightItem set RightName = N'用户组管理', RightCode = 'SYS_GROUP', ParentID = 1, Permission = 8, SortOrder = 4 where RightID = 4
if not exists (select * from RightItem where RightCode = 'SYS_CONFIG' and RightID <> 5)
	update RightItem set RightName = N'系统设置', RightCode = 'SYS_CONFIG', ParentID = 1, Permission = 16, SortOrder = 5 where RightID = 5
if not exists (select * from RightItem where RightCode = 'SYS_LOG' and RightID <> 6)
	update RightItem set RightName = N'日志查看', RightCode = 'SYS_LOG', ParentID = 1, Permission = 32, SortOrder = 6 where RightID = 6
if not exists (select * from RightItem where RightCode = 'COURSE' and RightID <> 7)
	update RightItem set RightName = N'课程管理', RightCode = 'COURSE', ParentID = 0, Permission = 64, SortOrder = 7 where RightID = 7
if not exists (select * from RightItem where RightCode = 'COURSE_EDIT' and RightID <> 8)
	update RightItem set RightName = N'课程设置', RightCode = 'COURSE_EDIT', ParentID = 7, Permission = 128, SortOrder = 8 where RightID = 8
if not exists (select * from RightItem where RightCode = 'COURSE_USER' and RightID <> 9)
	update RightItem set RightName = N'课程学员', RightCode = 'COURSE_USER', ParentID = 7, Permission = 256, SortOrder = 9 where RightID = 9
if not exists (select * from RightItem where RightCode = 'COURSE_SYLLABUS' and RightID <> 10)
	update RightItem set RightName = N'教学大纲', RightCode = 'COURSE_SYLLABUS', ParentID = 7, Permission = 512, SortOrder = 10 where RightID = 10
if not exists (select * from RightItem where RightCode = 'PROBLEM' and RightID <> 11)
	update RightItem set RightName = N'题库管理', RightCode = 'PROBLEM', ParentID = 0, Permission = 1024, SortOrder = 11 where RightID = 11
if not exists (select * from RightItem where RightCode = 'PROBLEM_SUBJECT' and RightID <> 12)
	update RightItem set RightName = N'科目管理', RightCode = 'PROBLEM_SUBJECT', ParentID = 11, Permission = 2048, SortOrder = 12 where RightID = 12
if not exists (select * from RightItem where RightCode = 'PROBLEM_FEATURE' and RightID <> 13)
	update RightItem set RightName = N'知识点管理', RightCode = 'PROBLEM_FEATURE', ParentID = 11, Permission = 4096, SortOrder = 13 where RightID = 13
if not exists (select * from RightItem where RightCode = 'PROBLEM_EDIT' and RightID <> 14)
	update RightItem set RightName = N'试题录入', RightCode = 'PROBLEM_EDIT', ParentID = 11, Permission = 8192, SortOrder = 14 where RightID = 14
if not exists (select * from RightItem where RightCode = 'PROBLEM_AUDIT' and RightID <> 15)
	update RightItem set RightName = N'试题审核', RightCode = 'PROBLEM_AUDIT', ParentID = 11, Permission = 16384, SortOrder = 15 where RightID = 15
if not exists (select * from RightItem where RightCode = 'PAPER' and RightID <> 16)
	update RightItem set RightName = N'试卷管理', RightCode = 'PAPER', ParentID = 0, Permission = 32768, SortOrder = 16 where RightID = 16
if not exists (select * from RightItem where RightCode = 'PAPER_DESIGN' and RightID <> 17)
	update RightItem set RightName = N'组卷', RightCode = 'PAPER_DESIGN', ParentID = 16, Permission = 65536, SortOrder = 17 where RightID = 17
if not exists (select * from RightItem where RightCode = 'PAPER_AUDIT' and RightID <> 18)
	update RightItem set RightName = N'试卷审核', RightCode = 'PAPER_AUDIT', ParentID = 16, Permission = 131072, SortOrder = 18 where RightID = 18
if not exists (select * from RightItem where RightCode = 'PAPER_PRINT' and RightID <> 19)
	update RightItem set RightName = N'试卷打印', RightCode = 'PAPER_PRINT', ParentID = 16, Permission = 262144, SortOrder = 19 where RightID = 19
if not exists (select * from RightItem where RightCode = 'EXAM' and RightID <> 20)
	update RightItem set RightName = N'考试管理', RightCode = 'EXAM', ParentID = 0, Permission = 524288, SortOrder = 20 where RightID = 20
if not exists (select * from RightItem where RightCode = 'EXAM_ARRANGE' and RightID <> 21)
	update RightItem set RightName = N'考试安排', RightCode = 'EXAM_ARRANGE', ParentID = 20, Permission = 1048576, SortOrder = 21 where RightID = 21
if not exists (select * from RightItem where RightCode = 'EXAM_MONITOR' and RightID <> 22)
	update RightItem set RightName = N'考场监控', RightCode = 'EXAM_MONITOR', ParentID = 20, Permission = 2097152, SortOrder = 22 where RightID = 22
if not exists (select * from RightItem where RightCode = 'EXAM_MARK' and RightID <> 23)
	update RightItem set RightName = N'阅卷', RightCode = 'EXAM_MARK', ParentID = 20, Permission = 4194304, SortOrder = 23 where RightID = 23
if not exists (select * from RightItem where RightCode = 'SCORE' and RightID <> 24)
	update RightItem set RightName = N'成绩管理', RightCode = 'SCORE', ParentID = 0, Permission = 8388608, SortOrder = 24 where RightID = 24
if not exists (select * from RightItem where RightCode = 'SCORE_QUERY' and RightID <> 25)
	update RightItem set RightName = N'成绩查询', RightCode = 'SCORE_QUERY', ParentID = 24, Permission = 16777216, SortOrder = 25 where RightID = 25
if not exists (select * from RightItem where RightCode = 'SCORE_ANALYZE' and RightID <> 26)
	update RightItem set RightName = N'成绩分析', RightCode = 'SCORE_ANALYZE', ParentID = 24, Permission = 33554432, SortOrder = 26 where RightID = 26
if not exists (select * from RightItem where RightCode = 'PRACTICE' and RightID <> 27)
	update RightItem set RightName = N'在线练习', RightCode = 'PRACTICE', ParentID = 0, Permission = 67108864, SortOrder = 27 where RightID = 27
if not exists (select * from RightItem where RightCode = 'EXAM_TAKE' and RightID <> 28)
	update RightItem set RightName = N'参加考试', RightCode = 'EXAM_TAKE', ParentID = 0, Permission = 134217728, SortOrder = 28 where RightID = 28
GO

if not exists (select * from ROLEADMIN where RoleName = N'系统管理员' and RoleID <> 0)
	update ROLEADMIN set RoleName = N'系统管理员', Permission = 2147483647, Description = N'拥有系统的全部权限', IsSystem = 1 where RoleID = 0
if not exists (select * from ROLEADMIN where RoleName = N'教师' and RoleID <> 1)
	update ROLEADMIN set RoleName = N'教师', Permission = 66961344, Description = N'管理课程、题库、试卷和考试', IsSystem = 1 where RoleID = 1
if not exists (select * from ROLEADMIN where RoleName = N'学生' and RoleID <> 2)
	update ROLEADMIN set RoleName = N'学生', Permission = 226492416, Description = N'参加考试和练习，查询自己的成绩', IsSystem = 1 where RoleID = 2
if not exists (select * from ROLEADMIN where RoleName = N'阅卷教师' and RoleID <> 3)
	update ROLEADMIN set RoleName = N'阅卷教师', Permission = 29884416, Description = N'批阅主观题', IsSystem = 1 where RoleID = 3
GO

update SUBJECT set Description = N'系统默认科目' where SubjectID = 1 and SubjectName = N'默认科目' and Description is null
GO
