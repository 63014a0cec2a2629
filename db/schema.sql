-- The console's nine tables. Text columns hold Chinese (utf8mb4); times are text "yyyy-MM-dd HH:mm:ss".
SET NAMES utf8mb4;

CREATE TABLE IF NOT EXISTS zol_baseinfo (
  id        INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name      VARCHAR(100) NOT NULL DEFAULT '',
  ip        VARCHAR(50)  NOT NULL DEFAULT '',
  mac       VARCHAR(50)  NOT NULL DEFAULT '',
  position  VARCHAR(200) NOT NULL DEFAULT '',
  memo      VARCHAR(500) NOT NULL DEFAULT '',
  relayIp   VARCHAR(50)  NOT NULL DEFAULT '',
  port      INT NOT NULL DEFAULT 0,
  KEY idx_baseinfo_name (name),
  KEY idx_baseinfo_ip (ip)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_status (
  zol_id     INT NOT NULL,
  status     VARCHAR(20) NULL,
  updatetime VARCHAR(30) NULL,
  KEY idx_status_zol_id (zol_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_temp (
  zol_id INT NOT NULL,
  temp   FLOAT NULL,
  KEY idx_temp_zol_id (zol_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_temp_log (
  id         INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  zol_id     INT NOT NULL,
  temp       FLOAT NULL,
  updatetime VARCHAR(30) NULL,
  memo       VARCHAR(500) NULL,
  KEY idx_temp_log_zol_id (zol_id),
  KEY idx_temp_log_updatetime (updatetime)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_log (
  id         INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  zol_id     INT NOT NULL,
  content    VARCHAR(2000) NULL,
  updatetime VARCHAR(30) NULL,
  memo       VARCHAR(500) NULL,
  KEY idx_log_zol_id (zol_id),
  KEY idx_log_updatetime (updatetime)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_op_log (
  id        INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  zol_id    INT NOT NULL,
  user_id   INT NOT NULL DEFAULT 0,
  user_name VARCHAR(100) NULL,
  optime    VARCHAR(30) NULL,
  operation VARCHAR(500) NULL,
  status    VARCHAR(2) NOT NULL DEFAULT '0',
  memo      VARCHAR(500) NULL,
  KEY idx_op_log_zol_id (zol_id),
  KEY idx_op_log_optime (optime)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_scheduletask (
  task_id       INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  zol_id        INT NOT NULL,
  task_type_id  INT NOT NULL,
  shutdown_time VARCHAR(30) NULL,
  up_time       VARCHAR(30) NULL,
  exec_unit     VARCHAR(20) NULL,
  task_memo     VARCHAR(500) NULL,
  KEY idx_task_zol_id (zol_id),
  KEY idx_task_type (task_type_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_tasktype (
  task_type_id   INT NOT NULL PRIMARY KEY,
  task_type_name VARCHAR(100) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS zol_user (
  id        INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name      VARCHAR(100) NOT NULL DEFAULT '',
  landname  VARCHAR(100) NOT NULL DEFAULT '',
  password  VARCHAR(32)  NOT NULL DEFAULT '',
  type      INT NOT NULL DEFAULT 2,
  remark    VARCHAR(500) NULL,
  KEY idx_user_landname (landname)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
