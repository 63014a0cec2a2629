-- Demo data for a first run: a dozen terminals, most of them running, task types, a few log rows.
-- Times are relative to the moment of loading, so today's searches find them. No operator rows:
-- scripts/run.sh adds the demo operator. The run command's demo terminals simulate every terminal
-- here: 停车场终端 (127.0.0.15) is cut off from the network, the agent of 北区查询机 (127.0.0.19)
-- does not run, and the relay controller of 服务台终端 (127.0.0.122) never answers.
SET NAMES utf8mb4;

INSERT INTO zol_baseinfo (id, name, ip, mac, position, memo, relayIp, port) VALUES
  ( 1, '大厅一号机',     '127.0.0.11', '00-1A-2B-3C-4D-01', '一楼大厅东侧',   '',               '127.0.0.111', 5001),
  ( 2, '大厅二号机',     '127.0.0.12', '00-1A-2B-3C-4D-02', '一楼大厅西侧',   '新换显示屏',     '127.0.0.112', 5002),
  ( 3, '二楼自助机',     '127.0.0.13', '00-1A-2B-3C-4D-03', '二楼电梯口',     '',               '127.0.0.113', 5003),
  ( 4, '三楼查询机',     '127.0.0.14', '00-1A-2B-3C-4D-04', '三楼走廊',       '温度探头故障',   '127.0.0.114', 5004),
  ( 5, '停车场终端',     '127.0.0.15', '00-1A-2B-3C-4D-05', '地下停车场入口', '',               '127.0.0.115', 5005),
  ( 6, '东门缴费机',     '127.0.0.16', '00-1A-2B-3C-4D-06', '东门岗亭',       '',               '127.0.0.116', 5006),
  ( 7, '西门缴费机',     '127.0.0.17', '00-1A-2B-3C-4D-07', '西门岗亭',       '',               '127.0.0.117', 5007),
  ( 8, '南区打印机',     '127.0.0.18', '00-1A-2B-3C-4D-08', '南区服务厅',     '',               '127.0.0.118', 5008),
  ( 9, '北区查询机',     '127.0.0.19', '00-1A-2B-3C-4D-09', '北区服务厅',     '',               '127.0.0.119', 5009),
  (10, '档案室终端',     '127.0.0.20', '00-1A-2B-3C-4D-0A', '四楼档案室',     '长期停用',       '127.0.0.120', 5010),
  (11, '会议中心终端',   '127.0.0.21', '00-1A-2B-3C-4D-0B', '会议中心前台',   '',               '127.0.0.121', 5011),
  (12, '服务台终端',     '127.0.0.22', '00-1A-2B-3C-4D-0C', '一楼服务台',     '',               '127.0.0.122', 5012);

-- Most terminals run; one is shut down and two have their power switched off.
INSERT INTO zol_status (zol_id, status, updatetime) VALUES
  ( 1, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 30 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 2, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 30 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 3, 'down',     CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 20 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 4, 'poweroff', CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 20 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 5, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 10 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 6, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 10 DAY, '%Y-%m-%d %H:%i:%s'))),
  ( 7, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 8 DAY,  '%Y-%m-%d %H:%i:%s'))),
  ( 8, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 5 DAY,  '%Y-%m-%d %H:%i:%s'))),
  ( 9, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 5 DAY,  '%Y-%m-%d %H:%i:%s'))),
  (10, 'poweroff', CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 3 DAY,  '%Y-%m-%d %H:%i:%s'))),
  (11, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 2 DAY,  '%Y-%m-%d %H:%i:%s'))),
  (12, 'up',       CONCAT(' ', DATE_FORMAT(NOW() - INTERVAL 1 DAY,  '%Y-%m-%d %H:%i:%s')));

-- Current temperatures: terminal 4 reports a negative value (shown as unknown), terminal 8 none.
INSERT INTO zol_temp (zol_id, temp) VALUES
  (1, 45.3), (2, 41.0), (3, 38.5), (4, -1), (5, 36.2), (6, 39.9),
  (7, 40.0), (9, 44.4), (10, 35.0), (11, 37.5), (12, 42.0);

INSERT INTO zol_tasktype (task_type_id, task_type_name) VALUES
  (1, '关机'),
  (2, '关机并开机'),
  (3, '关闭电源');

INSERT INTO zol_scheduletask (zol_id, task_type_id, shutdown_time, up_time, exec_unit, task_memo) VALUES
  (3, 1, CONCAT(CURDATE(), ' 22:00:00'), NULL, '天', '每晚关机'),
  (9, 2, CONCAT(CURDATE(), ' 02:00:00'), CONCAT(CURDATE(), ' 02:30:00'), '天', '夜间重启');

INSERT INTO zol_temp_log (zol_id, temp, updatetime, memo) VALUES
  (1, 44.8, DATE_FORMAT(NOW() - INTERVAL 3 HOUR, '%Y-%m-%d %H:%i:%s'), ''),
  (1, 45.3, DATE_FORMAT(NOW() - INTERVAL 1 HOUR, '%Y-%m-%d %H:%i:%s'), ''),
  (2, 41.0, DATE_FORMAT(NOW() - INTERVAL 2 HOUR, '%Y-%m-%d %H:%i:%s'), ''),
  (4, -1,   DATE_FORMAT(NOW() - INTERVAL 2 HOUR, '%Y-%m-%d %H:%i:%s'), '探头无读数'),
  (9, 44.4, DATE_FORMAT(NOW() - INTERVAL 1 DAY,  '%Y-%m-%d %H:%i:%s'), '');

INSERT INTO zol_log (zol_id, content, updatetime, memo) VALUES
  (1, '启动自助服务程序',     DATE_FORMAT(NOW() - INTERVAL 4 HOUR, '%Y-%m-%d %H:%i:%s'), ''),
  (1, '打印凭条 3 张',        DATE_FORMAT(NOW() - INTERVAL 2 HOUR, '%Y-%m-%d %H:%i:%s'), ''),
  (2, '更新广告画面',         DATE_FORMAT(NOW() - INTERVAL 3 HOUR, '%Y-%m-%d %H:%i:%s'), '自动更新'),
  (8, '打印机缺纸',           DATE_FORMAT(NOW() - INTERVAL 1 HOUR, '%Y-%m-%d %H:%i:%s'), '已通知维护'),
  (11, '执行计划任务：关机',  DATE_FORMAT(NOW() - INTERVAL 1 DAY,  '%Y-%m-%d %H:%i:%s'), '');

INSERT INTO zol_op_log (zol_id, user_id, user_name, optime, operation, status, memo) VALUES
  (3,  1, '演示管理员', DATE_FORMAT(NOW() - INTERVAL 20 DAY, '%Y-%m-%d %H:%i:%s'),
   '关闭远程设备操作,设备ID为(3),设备名称为(二楼自助机).', '1', ''),
  (4,  1, '演示管理员', DATE_FORMAT(NOW() - INTERVAL 20 DAY, '%Y-%m-%d %H:%i:%s'),
   '关闭远程设备电源,设备ID为(4),设备名称为(三楼查询机).', '1', ''),
  (10, 1, '演示管理员', DATE_FORMAT(NOW() - INTERVAL 3 DAY,  '%Y-%m-%d %H:%i:%s'),
   '关闭远程设备电源,设备ID为(10),设备名称为(档案室终端).', '0', 'Fail Code(0x10000100)'),
  (10, 1, '演示管理员', DATE_FORMAT(NOW() - INTERVAL 3 DAY,  '%Y-%m-%d %H:%i:%s'),
   '关闭远程设备电源,设备ID为(10),设备名称为(档案室终端).', '1', '');
