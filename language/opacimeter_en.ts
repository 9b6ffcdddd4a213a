<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CsvFile</name>
    <message>
        <source>无法创建文件夹 %1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>无法打开 %1：%2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <source>写入 %1 失败：%2</source>
        <translation>Writing %1 failed: %2</translation>
    </message>
</context>
<context>
    <name>DailyCheckPage</name>
    <message>
        <source>零点检查</source>
        <translation>Zero check</translation>
    </message>
    <message>
        <source>滤光片检查</source>
        <translation>Filter check</translation>
    </message>
    <message>
        <source>响应时间检查</source>
        <translation>Response check</translation>
    </message>
    <message>
        <source>正在校准仪表，随后读取 5 s 读数…</source>
        <translation>Calibrating the meter, then 5 s of readings…</translation>
    </message>
    <message>
        <source>请将滤光片置于光路中，正在读取 5 s 读数…</source>
        <translation>Hold the filter in the beam; taking 5 s of readings…</translation>
    </message>
    <message>
        <source>请先遮挡光路测上升时间，再移开测下降时间…</source>
        <translation>Block the beam for the rise time, then clear it for the fall time…</translation>
    </message>
    <message>
        <source>记录已保存</source>
        <translation>Record saved</translation>
    </message>
    <message>
        <source>记录未能存入数据库，已保留，稍后重试</source>
        <translation>The record could not be stored; it is kept and tried again later</translation>
    </message>
    <message>
        <source>日常检查</source>
        <translation>Daily checks</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>set.ini 中有无法读取的行：</source>
        <translation>Lines of set.ini that cannot be read: </translation>
    </message>
    <message>
        <source>不要求</source>
        <translation>not required</translation>
    </message>
    <message>
        <source>今日已通过</source>
        <translation>passed today</translation>
    </message>
    <message>
        <source>今日日常检查已完成</source>
        <translation>Today&apos;s daily checks are done</translation>
    </message>
    <message>
        <source>%1（已过期）</source>
        <translation>%1 (overdue)</translation>
    </message>
    <message>
        <source>证书 %1，有效期至 %2</source>
        <translation>Certificate %1, valid until %2</translation>
    </message>
    <message>
        <source>今日尚未通过</source>
        <translation>not passed today</translation>
    </message>
</context>
<context>
    <name>DailyChecks</name>
    <message>
        <source>零点</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>滤光片</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>响应时间</source>
        <translation>Response time</translation>
    </message>
    <message>
        <source>仪表未在规定时间内完成校准，零点检查未做</source>
        <translation>The meter did not finish its calibration in time; the zero check was not made</translation>
    </message>
    <message>
        <source>滤光片 %1 的检定已于 %2 到期，不能使用</source>
        <translation>Filter %1 was due for verification on %2 and cannot be used</translation>
    </message>
    <message>
        <source>set.ini 的 [Filters] 中没有滤光片 %1</source>
        <translation>No filter %1 in [Filters] of set.ini</translation>
    </message>
    <message>
        <source>日常检查正在进行</source>
        <translation>A daily check is running</translation>
    </message>
    <message>
        <source>测量正在进行</source>
        <translation>A test is running</translation>
    </message>
    <message>
        <source>仪表尚无读数</source>
        <translation>No reading from the meter yet</translation>
    </message>
    <message>
        <source>日常检查已停止</source>
        <translation>Daily check stopped</translation>
    </message>
    <message>
        <source>今日日常检查未完成：</source>
        <translation>Today&apos;s daily checks are not done: </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>通过</source>
        <translation>passed</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>零点检查%1：平均 N %2 %（限 ±%3 %），最大偏离 %4 %（限 ±%5 %）</source>
        <translation>Zero check %1: mean N %2 % (limit ±%3 %), largest reading %4 % (limit ±%5 %)</translation>
    </message>
    <message>
        <source>滤光片 %1 检查%2：平均 N %3 %，标称 %4 %（限 ±%5 %）</source>
        <translation>Filter %1 check %2: mean N %3 %, nominal %4 % (limit ±%5 %)</translation>
    </message>
    <message>
        <source>响应时间检查%1：上升 %2 s，下降 %3 s（限 %4–%5 s）</source>
        <translation>Response check %1: rise %2 s, fall %3 s (limits %4–%5 s)</translation>
    </message>
</context>
<context>
    <name>FreeAccelPage</name>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>峰值K(m-1)</source>
        <translation>Peak K (m-1)</translation>
    </message>
    <message>
        <source>峰值N(%)</source>
        <translation>Peak N (%)</translation>
    </message>
    <message>
        <source>计入</source>
        <translation>Counted</translation>
    </message>
    <message>
        <source>三次平均</source>
        <translation>Mean of 3</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>自由加速</source>
        <translation>Free acceleration</translation>
    </message>
    <message>
        <source>递减序列无效</source>
        <translation>Falling peaks invalid</translation>
    </message>
    <message>
        <source>开始 (F5)</source>
        <translation>Start (F5)</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>方法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>计入次数</source>
        <translation>Counted</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Band</translation>
    </message>
    <message>
        <source>最多次数</source>
        <translation>At most</translation>
    </message>
    <message>
        <source>结果未保存：</source>
        <translation>Result not saved: </translation>
    </message>
    <message>
        <source>按“开始”或 F5 开始测量</source>
        <translation>Press &quot;Start&quot; or F5 to begin</translation>
    </message>
    <message>
        <source>怠速运转，等待读数稳定…</source>
        <translation>Idle; waiting for steady readings…</translation>
    </message>
    <message>
        <source>请迅速将油门踩到底</source>
        <translation>Press the accelerator fully, quickly</translation>
    </message>
    <message>
        <source>达到最高转速后松开油门，回到怠速</source>
        <translation>At full speed, release to idle</translation>
    </message>
    <message>
        <source>测量完成</source>
        <translation>Test complete</translation>
    </message>
    <message>
        <source>%1 次加速仍不满足要求，测量无效</source>
        <translation>%1 snaps, rules not met: test invalid</translation>
    </message>
    <message>
        <source>测量已停止</source>
        <translation>Test stopped</translation>
    </message>
    <message>
        <source>结果 K = %1 m-1&#x3000;有效</source>
        <translation>Result K = %1 m-1  valid</translation>
    </message>
    <message>
        <source>结果 K = —&#x3000;无效</source>
        <translation>Result K = —  invalid</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>车辆</source>
        <translation>Vehicle</translation>
    </message>
    <message>
        <source>记录已保存</source>
        <translation>Record saved</translation>
    </message>
    <message>
        <source>记录未能存入数据库，已保留，稍后重试：%1</source>
        <translation>Record not stored in the database; kept, will retry: %1</translation>
    </message>
    <message>
        <source>限值 %1 m⁻¹（%2）</source>
        <translation>Limit %1 m⁻¹ (%2)</translation>
    </message>
    <message>
        <source>无限值</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>无车辆</source>
        <translation>No vehicle</translation>
    </message>
    <message>
        <source>检测方案：%1</source>
        <translation>Procedure: %1</translation>
    </message>
    <message>
        <source>检测方案 %1 不能使用：%2</source>
        <translation>Procedure %1 cannot be used: %2</translation>
    </message>
    <message>
        <source>第 %1 次吹拂</source>
        <translation>Purge %1</translation>
    </message>
    <message>
        <source>第 %1 次测量</source>
        <translation>Measurement %1</translation>
    </message>
    <message>
        <source>吹拂</source>
        <translation>purge</translation>
    </message>
    <message>
        <source>第 %1 排气管</source>
        <translation>Outlet %1</translation>
    </message>
    <message>
        <source>各排气管 %1</source>
        <translation>outlets %1</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Invalid</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>无车辆</source>
        <translation>No vehicle</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>号牌号码</source>
        <translation>Plate</translation>
    </message>
    <message>
        <source>方法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Verdict</translation>
    </message>
    <message>
        <source>检测员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>车道</source>
        <translation>Lane</translation>
    </message>
</context>
<context>
    <name>HistoryPage</name>
    <message>
        <source>检测记录</source>
        <translation>Test records</translation>
    </message>
    <message>
        <source>号牌号码或VIN</source>
        <translation>Plate or VIN</translation>
    </message>
    <message>
        <source>全部判定</source>
        <translation>All verdicts</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>无判定</source>
        <translation>No verdict</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>导出PDF</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>至</source>
        <translation>to</translation>
    </message>
    <message>
        <source>无法读取检测记录：%1</source>
        <translation>Cannot read the test records: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 条记录</source>
        <translation>
            <numerusform>%n record</numerusform>
            <numerusform>%n records</numerusform>
        </translation>
    </message>
    <message>
        <source>已导出 %1</source>
        <translation>Exported %1</translation>
    </message>
    <message>
        <source>无法导出 %1：%2</source>
        <translation>Cannot export %1: %2</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>在新窗口中打开</source>
        <translation>Open in new window</translation>
    </message>
    <message>
        <source>本机</source>
        <translation>This lane</translation>
    </message>
    <message>
        <source>全站</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>查看本机记录</source>
        <translation>Show this lane&apos;s records</translation>
    </message>
    <message>
        <source>未设置站端数据库，无法查看全站记录（设置 → 数据库）</source>
        <translation>No station server is set, so the station&apos;s records cannot be shown (Settings → Database)</translation>
    </message>
    <message>
        <source>站端数据库无法访问：%1</source>
        <translation>The station server cannot be reached: %1</translation>
    </message>
    <message numerus="yes">
        <source>全站 %n 条记录</source>
        <translation>
            <numerusform>%n record of the station</numerusform>
            <numerusform>%n records of the station</numerusform>
        </translation>
    </message>
    <message>
        <source>检测</source>
        <translation>Tests</translation>
    </message>
    <message>
        <source>日常检查</source>
        <translation>Daily checks</translation>
    </message>
</context>
<context>
    <name>LaneSession</name>
    <message>
        <source>测量正在进行</source>
        <translation>A test is running</translation>
    </message>
</context>
<context>
    <name>LimitChoice</name>
    <message>
        <source>铭牌值</source>
        <translation>plate value</translation>
    </message>
    <message>
        <source>限值表</source>
        <translation>limits table</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>manual</translation>
    </message>
</context>
<context>
    <name>ProcedureProfile</name>
    <message>
        <source>缺失</source>
        <translation>missing</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不是数字</source>
        <translation>&apos;%1&apos; is not a number</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不在 %2 到 %3 之间</source>
        <translation>&apos;%1&apos; is not between %2 and %3</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不是整数</source>
        <translation>&apos;%1&apos; is not a whole number</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 应为 true 或 false</source>
        <translation>&apos;%1&apos; must be true or false</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不是日期（yyyy-MM-dd）</source>
        <translation>&apos;%1&apos; is not a date (yyyy-MM-dd)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 应为 a 或 b</source>
        <translation>&apos;%1&apos; must be a or b</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 应为 natural 或 turbo</source>
        <translation>&apos;%1&apos; must be natural or turbo</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 不是车辆类别</source>
        <translation>&apos;%1&apos; is not a vehicle category</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 小于 Purges 与 Counted 之和</source>
        <translation>&apos;%1&apos; is less than Purges and Counted together</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 应为 zero、filter 或 response</source>
        <translation>&apos;%1&apos; must be zero, filter or response</translation>
    </message>
    <message>
        <source>%1: 无法读取（%2）</source>
        <translation>%1: cannot be read (%2)</translation>
    </message>
    <message>
        <source>[Procedure] Variant &apos;%1&apos; 应为 a 或 b</source>
        <translation>[Procedure] Variant &apos;%1&apos; must be a or b</translation>
    </message>
    <message>
        <source>检测方案 %1 未找到（%2）</source>
        <translation>Procedure profile %1 not found (%2)</translation>
    </message>
</context>
<context>
    <name>RecordCheck</name>
    <message>
        <source>不能含换行或其他控制字符</source>
        <translation>must not hold line breaks or other control characters</translation>
    </message>
    <message>
        <source>记录校验失败</source>
        <translation>Record check failed</translation>
    </message>
</context>
<context>
    <name>RecordDetail</name>
    <message>
        <source>检测记录 %1</source>
        <translation>Test record %1</translation>
    </message>
    <message>
        <source>无车辆</source>
        <translation>No vehicle</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>RecordKeeper</name>
    <message>
        <source>数据库文件已损坏，已移至 %1，并新建了数据库</source>
        <translation>The database file was damaged; it was moved to %1 and a new database was started</translation>
    </message>
    <message>
        <source>无法创建文件夹 %1，检测记录 %2 未能保存</source>
        <translation>Cannot create the folder %1; test record %2 was not saved</translation>
    </message>
    <message>
        <source>检测记录 %1 未能写入 %2：%3</source>
        <translation>Test record %1 could not be written to %2: %3</translation>
    </message>
    <message>
        <source>内容与校验值不符</source>
        <translation>its content does not match its hash</translation>
    </message>
    <message>
        <source>未保存的检测记录 %1 未存入数据库（%2），也无法移至 %3</source>
        <translation>The unsaved test record %1 was not stored (%2) and could not be moved to %3</translation>
    </message>
    <message>
        <source>未保存的检测记录 %1 未存入数据库（%2），已移至 %3</source>
        <translation>The unsaved test record %1 was not stored (%2); it was moved to %3</translation>
    </message>
</context>
<context>
    <name>RecordReport</name>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>自由加速法烟度检测报告</source>
        <translation>Free-acceleration smoke test report</translation>
    </message>
    <message>
        <source>检测站</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>检测线</source>
        <translation>Lane</translation>
    </message>
    <message>
        <source>检测员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>检测日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>车辆</source>
        <translation>Vehicle</translation>
    </message>
    <message>
        <source>无车辆</source>
        <translation>No vehicle</translation>
    </message>
    <message>
        <source>自然吸气</source>
        <translation>naturally aspirated</translation>
    </message>
    <message>
        <source>涡轮增压</source>
        <translation>turbocharged</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>other</translation>
    </message>
    <message>
        <source>号牌号码</source>
        <translation>Plate</translation>
    </message>
    <message>
        <source>VIN</source>
        <translation>VIN</translation>
    </message>
    <message>
        <source>车辆类别</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>进气方式</source>
        <translation>Intake</translation>
    </message>
    <message>
        <source>初次登记日期</source>
        <translation>First registration</translation>
    </message>
    <message>
        <source>里程表读数</source>
        <translation>Odometer</translation>
    </message>
    <message>
        <source>%1 km</source>
        <translation>%1 km</translation>
    </message>
    <message>
        <source>铭牌值</source>
        <translation>Plate value</translation>
    </message>
    <message>
        <source>%1 m⁻¹</source>
        <translation>%1 m⁻¹</translation>
    </message>
    <message>
        <source>取最后 %1 次峰值，极差不超过 %2 m⁻¹%3；最多 %4 次</source>
        <translation>the last %1 peaks, spread at most %2 m⁻¹%3; at most %4 snaps</translation>
    </message>
    <message>
        <source>，严格递减不计</source>
        <translation>, strictly falling peaks not accepted</translation>
    </message>
    <message>
        <source>检测方法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>方法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>规则</source>
        <translation>Rules</translation>
    </message>
    <message>
        <source>计入</source>
        <translation>counted</translation>
    </message>
    <message>
        <source>加速过程</source>
        <translation>Snaps</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>峰值 K (m⁻¹)</source>
        <translation>Peak K (m⁻¹)</translation>
    </message>
    <message>
        <source>峰值 N (%)</source>
        <translation>Peak N (%)</translation>
    </message>
    <message>
        <source>持续时间 (s)</source>
        <translation>Duration (s)</translation>
    </message>
    <message>
        <source>计入结果</source>
        <translation>In result</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>invalid</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>%1 m⁻¹（%2）</source>
        <translation>%1 m⁻¹ (%2)</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>PASS</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>FAIL</translation>
    </message>
    <message>
        <source>无判定</source>
        <translation>NO VERDICT</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>平均值 K</source>
        <translation>Mean K</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>Software</translation>
    </message>
    <message>
        <source>烟度计地址</source>
        <translation>Meter address</translation>
    </message>
    <message>
        <source>最近标定</source>
        <translation>Last calibration</translation>
    </message>
    <message>
        <source>记录编号</source>
        <translation>Record id</translation>
    </message>
    <message>
        <source>校验值 (SHA-256)</source>
        <translation>Checksum (SHA-256)</translation>
    </message>
    <message>
        <source>K 曲线</source>
        <translation>K curve</translation>
    </message>
    <message>
        <source>K (m⁻¹)</source>
        <translation>K (m⁻¹)</translation>
    </message>
    <message>
        <source>时间 (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>自由加速法烟度检测报告 %1</source>
        <translation>Free-acceleration smoke test report %1</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>审核员</source>
        <translation>Reviewed by</translation>
    </message>
    <message>
        <source>批准人</source>
        <translation>Approved by</translation>
    </message>
    <message>
        <source>零点检查</source>
        <translation>Zero check</translation>
    </message>
    <message>
        <source>平均 N</source>
        <translation>Mean N</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>允许</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>±%1 %</source>
        <translation>±%1 %</translation>
    </message>
    <message>
        <source>最大偏离 N</source>
        <translation>Largest N</translation>
    </message>
    <message>
        <source>滤光片检查</source>
        <translation>Filter check</translation>
    </message>
    <message>
        <source>滤光片</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>检定证书</source>
        <translation>Certificate</translation>
    </message>
    <message>
        <source>标称值 N</source>
        <translation>Nominal N</translation>
    </message>
    <message>
        <source>检定有效期至</source>
        <translation>Verified until</translation>
    </message>
    <message>
        <source>响应时间检查</source>
        <translation>Response-time check</translation>
    </message>
    <message>
        <source>上升时间</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>下降时间</source>
        <translation>Fall time</translation>
    </message>
    <message>
        <source>%1–%2 s</source>
        <translation>%1–%2 s</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>PASSED</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>FAILED</translation>
    </message>
    <message>
        <source>读数</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>%1 个</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>烟度计日常检查报告</source>
        <translation>Opacimeter daily check report</translation>
    </message>
    <message>
        <source>检查员</source>
        <translation>Checked by</translation>
    </message>
    <message>
        <source>检查时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>取最后 %1 次峰值的平均值；最多 %2 次</source>
        <translation>the mean of the last %1 peaks; at most %2 snaps</translation>
    </message>
    <message>
        <source>检测依据</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>%1（%2 第 %3 版）</source>
        <translation>%1 (%2, version %3)</translation>
    </message>
    <message>
        <source>先吹拂 %1 次，不计；</source>
        <translation>%1 purges first, not counted; </translation>
    </message>
    <message>
        <source>吹拂</source>
        <translation>purge</translation>
    </message>
    <message>
        <source>各排气管 K (m⁻¹)</source>
        <translation>K of each outlet (m⁻¹)</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>RecordStore</name>
    <message>
        <source>数据库未能启用 WAL 日志：%1</source>
        <translation>The database did not take the WAL journal: %1</translation>
    </message>
    <message>
        <source>数据库未能设为完全同步写入：%1</source>
        <translation>The database did not take full synchronous writes: %1</translation>
    </message>
    <message>
        <source>数据库文件不存在：%1</source>
        <translation>The database file does not exist: %1</translation>
    </message>
    <message>
        <source>损坏的数据库的日志文件 %1 无法移走，数据库未移动</source>
        <translation>The journal %1 of the damaged database cannot be moved; the database was not moved</translation>
    </message>
    <message>
        <source>数据库无法写入：%1（%2）</source>
        <translation>The database cannot be written: %1 (%2)</translation>
    </message>
    <message>
        <source>磁盘已满，数据库无法写入：%1</source>
        <translation>The disk is full; the database cannot be written: %1</translation>
    </message>
    <message>
        <source>数据库被其他程序锁定：%1</source>
        <translation>The database is locked by another program: %1</translation>
    </message>
    <message>
        <source>数据库文件已损坏：%1</source>
        <translation>The database file is damaged: %1</translation>
    </message>
    <message>
        <source>数据库由更新版本的程序创建（版本 %1），本程序不写入：%2</source>
        <translation>The database was made by a newer version of the program (version %1); this one does not write to it: %2</translation>
    </message>
    <message>
        <source>数据库中已有编号相同而内容不同的记录：%1</source>
        <translation>The database holds a different record with the same id: %1</translation>
    </message>
    <message>
        <source>数据库错误：%1（%2）</source>
        <translation>Database error: %1 (%2)</translation>
    </message>
    <message>
        <source>无法创建文件夹 %1</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>损坏的数据库无法移走</source>
        <translation>The damaged database cannot be moved aside</translation>
    </message>
    <message>
        <source>未打开数据库</source>
        <translation>The database is not open</translation>
    </message>
</context>
<context>
    <name>SerialClient</name>
    <message>
        <source>串口 %1 不存在，请检查端口名和连线</source>
        <translation>Serial port %1 does not exist; check the port name and the cable</translation>
    </message>
    <message>
        <source>串口 %1 已被其他程序占用</source>
        <translation>Serial port %1 is in use by another program</translation>
    </message>
    <message>
        <source>没有权限打开串口 %1（请将用户加入 dialout 组后重新登录）</source>
        <translation>No permission to open serial port %1 (add the user to the dialout group and log in again)</translation>
    </message>
    <message>
        <source>无法使用串口 %1：%2</source>
        <translation>Cannot use serial port %1: %2</translation>
    </message>
    <message>
        <source>串口 %1 已打开，仪表没有应答</source>
        <translation>Serial port %1 is open, but the meter does not answer</translation>
    </message>
</context>
<context>
    <name>SerialLineBox</name>
    <message>
        <source>网络</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>连接方式</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>仪表接在本机的串口或 USB 转串口适配器上。打开列表时列出本机现有的串口；也可直接填写，如 /dev/ttyUSB0 或 COM3。确定后立即打开此串口，打不开时每秒重试。</source>
        <translation>The meter is wired to a serial port of this PC or to a USB serial adapter. Opening the list shows the ports present; you can also type a name such as /dev/ttyUSB0 or COM3. The port is opened as soon as you confirm, and tried again every second while it cannot be opened.</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>流控</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>空格</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>标记</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>硬件 (RTS/CTS)</source>
        <translation>Hardware (RTS/CTS)</translation>
    </message>
    <message>
        <source>软件 (XON/XOFF)</source>
        <translation>Software (XON/XOFF)</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>仪表</source>
        <translation>Meter</translation>
    </message>
    <message>
        <source>仪表服务器地址</source>
        <translation>Meter server address</translation>
    </message>
    <message>
        <source>自动查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>IPv4 或 IPv6 地址（端口 8899）。留空则每次启动时在本机网络中查找。确定后立即连接此地址；“自动查找”立即在网络中查找。</source>
        <translation>IPv4 or IPv6 address (port 8899). Empty: the program searches the local network at each start. OK connects to it at once; &quot;Find&quot; searches now.</translation>
    </message>
    <message>
        <source>工位</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>检测站名称</source>
        <translation>Station name</translation>
    </message>
    <message>
        <source>印在每条记录和报告上，最多 32 个字符。</source>
        <translation>Printed on every record and report; at most 32 characters.</translation>
    </message>
    <message>
        <source>检测线名称</source>
        <translation>Lane name</translation>
    </message>
    <message>
        <source>本检测线的名称，记录和报告上与检测站名称并列，最多 32 个字符。</source>
        <translation>This lane&apos;s name, shown beside the station&apos;s on records and reports; at most 32 characters.</translation>
    </message>
    <message>
        <source>检测站和检测线名称在下次启动程序后生效。</source>
        <translation>Station and lane names take effect at the next start.</translation>
    </message>
    <message>
        <source>数据库</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>数据库文件</source>
        <translation>Database file</translation>
    </message>
    <message>
        <source>本线的 SQLite 数据库；相对路径从程序的工作文件夹算起。</source>
        <translation>This lane&apos;s SQLite database; a relative path starts at the program&apos;s working folder.</translation>
    </message>
    <message>
        <source>服务器主机</source>
        <translation>Server host</translation>
    </message>
    <message>
        <source>检测站的 PostgreSQL 服务器：主机名、IP 地址或套接字所在的文件夹。留空则记录只存在本线。</source>
        <translation>The station&apos;s PostgreSQL server: host name, IP address or the folder of its socket. Empty: records stay on this lane.</translation>
    </message>
    <message>
        <source>服务器端口</source>
        <translation>Server port</translation>
    </message>
    <message>
        <source>1 到 65535，通常为 5432。</source>
        <translation>1 to 65535, usually 5432.</translation>
    </message>
    <message>
        <source>数据库名</source>
        <translation>Database name</translation>
    </message>
    <message>
        <source>服务器上的数据库。</source>
        <translation>The database on the server.</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User</translation>
    </message>
    <message>
        <source>登录服务器的角色。</source>
        <translation>The role that logs in to the server.</translation>
    </message>
    <message>
        <source>密码文件</source>
        <translation>Password file</translation>
    </message>
    <message>
        <source>首行为密码，只许所有者读写（chmod 600）。留空则使用 ~/.pgpass。</source>
        <translation>The password on its first line, readable by its owner only (chmod 600). Empty: ~/.pgpass.</translation>
    </message>
    <message>
        <source>SSL 模式</source>
        <translation>SSL mode</translation>
    </message>
    <message>
        <source>libpq 的 sslmode；留空为 libpq 的默认值。</source>
        <translation>libpq&apos;s sslmode; empty for libpq&apos;s default.</translation>
    </message>
    <message>
        <source>数据库设置在下次启动程序后生效。</source>
        <translation>Database settings take effect at the next start.</translation>
    </message>
    <message>
        <source>接口</source>
        <translation>API</translation>
    </message>
    <message>
        <source>WebSocket 接口</source>
        <translation>WebSocket API</translation>
    </message>
    <message>
        <source>开启</source>
        <translation>On</translation>
    </message>
    <message>
        <source>检测线系统经此接口读取读数、发起检测。</source>
        <translation>The lane system reads values and starts tests through it.</translation>
    </message>
    <message>
        <source>监听地址</source>
        <translation>Listen address</translation>
    </message>
    <message>
        <source>IP 地址和端口，如 127.0.0.1:8900 或 [::1]:8900。在本机以外监听时必须有令牌。</source>
        <translation>IP address and port, e.g. 127.0.0.1:8900 or [::1]:8900. A token is required to listen beyond this computer.</translation>
    </message>
    <message>
        <source>令牌</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>重新生成</source>
        <translation>Regenerate</translation>
    </message>
    <message>
        <source>客户端须出示此令牌才能下达命令。重新生成后旧令牌作废。</source>
        <translation>Clients must show this token to give commands. Regenerating voids the old one.</translation>
    </message>
    <message>
        <source>接口设置确定后立即生效。</source>
        <translation>API settings take effect at once.</translation>
    </message>
    <message>
        <source>语言与限值</source>
        <translation>Language and limits</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>界面的语言，确定后立即切换。</source>
        <translation>The window&apos;s language; it changes at once.</translation>
    </message>
    <message>
        <source>限值表（m⁻¹）</source>
        <translation>Limits table (m⁻¹)</translation>
    </message>
    <message>
        <source>自然吸气</source>
        <translation>Naturally aspirated</translation>
    </message>
    <message>
        <source>自然吸气发动机的 K 限值，大于 0 且小于 10。</source>
        <translation>K limit for naturally aspirated engines, above 0 and below 10.</translation>
    </message>
    <message>
        <source>增压</source>
        <translation>Turbocharged</translation>
    </message>
    <message>
        <source>增压发动机的 K 限值。</source>
        <translation>K limit for turbocharged engines.</translation>
    </message>
    <message>
        <source>新车起始日期</source>
        <translation>New vehicles from</translation>
    </message>
    <message>
        <source>在此日期及以后初次登记的车辆，不论进气方式，都用下面的限值。</source>
        <translation>Vehicles first registered on or after this date use the limit below, whatever their intake.</translation>
    </message>
    <message>
        <source>新车限值</source>
        <translation>New vehicle limit</translation>
    </message>
    <message>
        <source>上述车辆的 K 限值。</source>
        <translation>K limit for those vehicles.</translation>
    </message>
    <message>
        <source>限值表在下次启动程序后生效。</source>
        <translation>The limits table takes effect at the next start.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>正在查找仪表…</source>
        <translation>Looking for the meter…</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>未保存。%1</source>
        <translation>Not saved. %1</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>未保存：%1</source>
        <translation>Not saved: %1</translation>
    </message>
    <message>
        <source>网络中没有找到仪表，程序会继续查找。</source>
        <translation>No meter found on the network; the program keeps looking.</translation>
    </message>
    <message>
        <source>找到仪表 %1，正在连接。</source>
        <translation>Found the meter at %1; connecting.</translation>
    </message>
    <message>
        <source>以下仪表在网络中应答，程序没有自动采用。单击一台即存为本工位的仪表并连接：</source>
        <translation>These meters answer on the network; none was taken. Click one to store it as this lane&apos;s meter and connect to it:</translation>
    </message>
    <message>
        <source>检测站地址</source>
        <translation>Station address</translation>
    </message>
    <message>
        <source>印在报告的抬头，检测站名称之下，最多 64 个字符；报告打印时取当时的地址。</source>
        <translation>Printed at the head of every report, under the station name; at most 64 characters. A report shows the address at the time it is printed.</translation>
    </message>
    <message>
        <source>检测方案</source>
        <translation>Procedure</translation>
    </message>
    <message>
        <source>方案</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>限值</source>
        <translation>Limit</translation>
    </message>
    <message>
        <source>方案规定测量方法、限值和日常检查，确定后立即生效；“自定义”用下面的限值表和自由加速页上的方法。</source>
        <translation>A profile fixes the method, the limits and the daily checks, from OK on; “Custom” uses the limits table below and the method on the free-acceleration page.</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
</context>
<context>
    <name>SettingsForm</name>
    <message>
        <source>不是 IPv4 或 IPv6 地址</source>
        <translation>not an IPv4 or IPv6 address</translation>
    </message>
    <message>
        <source>不是一台主机的地址</source>
        <translation>not the address of a host</translation>
    </message>
    <message>
        <source>不能含换行或其他控制字符</source>
        <translation>must not hold line breaks or other control characters</translation>
    </message>
    <message>
        <source>最多 %1 个字符</source>
        <translation>at most %1 characters</translation>
    </message>
    <message>
        <source>是一个文件夹，不是文件</source>
        <translation>is a folder, not a file</translation>
    </message>
    <message>
        <source>是内存数据库，程序结束时记录全部丢失</source>
        <translation>is an in-memory database: every record would be lost when the program ends</translation>
    </message>
    <message>
        <source>文件夹 %1 不存在</source>
        <translation>the folder %1 does not exist</translation>
    </message>
    <message>
        <source>须为主机名、IP 地址或存放服务器套接字的文件夹</source>
        <translation>must be a host name, an IP address or the folder of the server&apos;s socket</translation>
    </message>
    <message>
        <source>最多 %1 个字节</source>
        <translation>at most %1 bytes</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>不是文件</source>
        <translation>not a file</translation>
    </message>
    <message>
        <source>除所有者外还有人可读写此文件（请执行 chmod 600）</source>
        <translation>others than its owner may read or write it (chmod 600 it)</translation>
    </message>
    <message>
        <source>无法读取此文件</source>
        <translation>cannot read this file</translation>
    </message>
    <message>
        <source>须在 1 到 65535 之间</source>
        <translation>must be from 1 to 65535</translation>
    </message>
    <message>
        <source>须为 %1 之一，或留空</source>
        <translation>must be one of %1, or empty</translation>
    </message>
    <message>
        <source>须为 IP 地址和 1 到 65535 的端口，如 127.0.0.1:8900 或 [::1]:8900</source>
        <translation>must be an IP address and a port from 1 to 65535, e.g. 127.0.0.1:8900 or [::1]:8900</translation>
    </message>
    <message>
        <source>须为 16 到 64 位十六进制数字，请按“重新生成”</source>
        <translation>must be 16 to 64 hexadecimal digits; press &quot;Regenerate&quot;</translation>
    </message>
    <message>
        <source>在本机以外监听时必须有令牌，请按“重新生成”</source>
        <translation>a token is required to listen beyond this computer; press &quot;Regenerate&quot;</translation>
    </message>
    <message>
        <source>不是数字</source>
        <translation>not a number</translation>
    </message>
    <message>
        <source>须大于 0 且小于 10 m⁻¹</source>
        <translation>must be above 0 and below 10 m⁻¹</translation>
    </message>
    <message>
        <source>须为 zh 或 en</source>
        <translation>must be zh or en</translation>
    </message>
    <message>
        <source>不是有效日期</source>
        <translation>not a valid date</translation>
    </message>
    <message>
        <source>无法写入 %1</source>
        <translation>cannot write %1</translation>
    </message>
    <message>
        <source>仪表服务器地址</source>
        <translation>Meter server address</translation>
    </message>
    <message>
        <source>检测站名称</source>
        <translation>Station name</translation>
    </message>
    <message>
        <source>检测线名称</source>
        <translation>Lane name</translation>
    </message>
    <message>
        <source>数据库文件</source>
        <translation>Database file</translation>
    </message>
    <message>
        <source>服务器主机</source>
        <translation>Server host</translation>
    </message>
    <message>
        <source>服务器端口</source>
        <translation>Server port</translation>
    </message>
    <message>
        <source>数据库名</source>
        <translation>Database name</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User</translation>
    </message>
    <message>
        <source>密码文件</source>
        <translation>Password file</translation>
    </message>
    <message>
        <source>SSL 模式</source>
        <translation>SSL mode</translation>
    </message>
    <message>
        <source>监听地址</source>
        <translation>Listen address</translation>
    </message>
    <message>
        <source>令牌</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>自然吸气限值</source>
        <translation>Naturally aspirated limit</translation>
    </message>
    <message>
        <source>增压限值</source>
        <translation>Turbocharged limit</translation>
    </message>
    <message>
        <source>新车起始日期</source>
        <translation>New vehicles from</translation>
    </message>
    <message>
        <source>新车限值</source>
        <translation>New vehicle limit</translation>
    </message>
    <message>
        <source>请选择或填写串口</source>
        <translation>choose or type a serial port</translation>
    </message>
    <message>
        <source>须在 50 到 %1 之间</source>
        <translation>must be from 50 to %1</translation>
    </message>
    <message>
        <source>须为 5 到 8</source>
        <translation>must be 5 to 8</translation>
    </message>
    <message>
        <source>须为 %1 之一</source>
        <translation>must be one of %1</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>流控</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>检测站地址</source>
        <translation>Station address</translation>
    </message>
    <message>
        <source>须为 a 或 b</source>
        <translation>must be a or b</translation>
    </message>
    <message>
        <source>方案限值</source>
        <translation>Profile limit</translation>
    </message>
</context>
<context>
    <name>TestSubject</name>
    <message>
        <source>检测员：%1</source>
        <translation>Operator: %1</translation>
    </message>
    <message>
        <source>号牌号码“%1”无效：最多 %2 个字母、数字或汉字</source>
        <translation>Plate &quot;%1&quot; is invalid: at most %2 letters, digits or Chinese characters</translation>
    </message>
    <message>
        <source>VIN“%1”无效：应为 17 位数字或字母（不含 I、O、Q）</source>
        <translation>VIN &quot;%1&quot; is invalid: it must be 17 digits or letters (no I, O or Q)</translation>
    </message>
    <message>
        <source>限值必须大于 0</source>
        <translation>The limit must be above 0</translation>
    </message>
</context>
<context>
    <name>TrendPage</name>
    <message>
        <source>计入峰值</source>
        <translation>Counted peaks</translation>
    </message>
    <message>
        <source>时间 (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <source>记录中：%1，%2 行</source>
        <translation>Recording: %1, %2 rows</translation>
    </message>
    <message>
        <source>图片已保存：%1</source>
        <translation>Picture saved: %1</translation>
    </message>
    <message>
        <source>图片保存失败：%1</source>
        <translation>Picture not saved: %1</translation>
    </message>
    <message>
        <source>记录停止：%1</source>
        <translation>Recording stopped: %1</translation>
    </message>
    <message>
        <source>已记录：%1，%2 行</source>
        <translation>Recorded: %1, %2 rows</translation>
    </message>
</context>
<context>
    <name>VehiclePanel</name>
    <message>
        <source>无车辆</source>
        <translation>No vehicle</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>other</translation>
    </message>
    <message>
        <source>自然吸气</source>
        <translation>Natural</translation>
    </message>
    <message>
        <source>涡轮增压</source>
        <translation>Turbo</translation>
    </message>
    <message>
        <source>号牌号码</source>
        <translation>Plate</translation>
    </message>
    <message>
        <source>车辆类别</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>进气方式</source>
        <translation>Intake</translation>
    </message>
    <message>
        <source>初次登记</source>
        <translation>Registered</translation>
    </message>
    <message>
        <source>里程(km)</source>
        <translation>Odometer (km)</translation>
    </message>
    <message>
        <source>铭牌值</source>
        <translation>Plate value</translation>
    </message>
    <message>
        <source>检测员</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>VIN %1 的校验位（第 9 位）应为 %2。仍按此 VIN 检测吗？</source>
        <translation>The check digit (9th character) of VIN %1 should be %2. Test with this VIN anyway?</translation>
    </message>
    <message>
        <source>VIN 校验位</source>
        <translation>VIN check digit</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>排气管数</source>
        <translation>Outlets</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>恢复出厂完成</source>
        <translation>Factory reset done</translation>
    </message>
    <message>
        <source>校准完成</source>
        <translation>Calibration done</translation>
    </message>
    <message>
        <source>通信失败，建议检查连线，重开此程序！</source>
        <translation>No connection to the meter. Check the cabling and restart this program!</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>在 %1 找到其他仪表；如需更换请在设置中确认</source>
        <translation>Other meter at %1; confirm in Settings to switch</translation>
    </message>
    <message>
        <source>找到 %1 台仪表，请在设置中选择本工位的仪表</source>
        <translation>%1 meters found; choose this lane&apos;s in Settings</translation>
    </message>
    <message>
        <source>校验和错误：已丢弃 %1 帧仪表数据</source>
        <translation>Checksum errors: %1 meter frames dropped</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>日常检查已完成</source>
        <translation>Daily checks done</translation>
    </message>
    <message>
        <source>日常检查未完成</source>
        <translation>Daily checks not done</translation>
    </message>
</context>
<context>
    <name>mainwindowClass</name>
    <message>
        <source> 上位机程序</source>
        <translation>Opacity meter host</translation>
    </message>
    <message>
        <source>透射式烟度计</source>
        <translation>Smoke Opacity Meter</translation>
    </message>
    <message>
        <source>正在连接</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>数据显示</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>校准</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>清除最大值</source>
        <translation>Clear maxima</translation>
    </message>
    <message>
        <source>恢复出厂</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <source>K(m-1)</source>
        <translation>K(m-1)</translation>
    </message>
    <message>
        <source> 能量值</source>
        <translation>Energy</translation>
    </message>
    <message>
        <source>Ns(%)</source>
        <translation>Ns(%)</translation>
    </message>
    <message>
        <source>瞬时值</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>N(%)</source>
        <translation>N(%)</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>气室温度(℃)</source>
        <translation>Chamber temp. (°C)</translation>
    </message>
    <message>
        <source>烟气温度(℃)</source>
        <translation>Smoke temp. (°C)</translation>
    </message>
    <message>
        <source>响应时间测试</source>
        <translation>Response time</translation>
    </message>
    <message>
        <source>测量上升时间</source>
        <translation>Measure rise</translation>
    </message>
    <message>
        <source>测量下降时间</source>
        <translation>Measure fall</translation>
    </message>
    <message>
        <source> 清除结果</source>
        <translation>Clear results</translation>
    </message>
    <message>
        <source>Ns（%）</source>
        <translation>Ns (%)</translation>
    </message>
    <message>
        <source>上升时间测量结果</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source> 下降时间测量结果</source>
        <translation>Fall time</translation>
    </message>
    <message>
        <source>正在校准</source>
        <translation>Calibrating</translation>
    </message>
    <message>
        <source>实时曲线</source>
        <translation>Live curve</translation>
    </message>
    <message>
        <source>正在测试</source>
        <translation>Testing</translation>
    </message>
    <message>
        <source>已连接 %1</source>
        <translation>Connected %1</translation>
    </message>
    <message>
        <source>正在查找仪表</source>
        <translation>Looking for the meter</translation>
    </message>
    <message>
        <source>连接中断，正在重连</source>
        <translation>Link lost, reconnecting</translation>
    </message>
</context>
<context>
    <name>settings</name>
    <message>
        <source>password file %1 does not exist</source>
        <translation>password file %1 does not exist</translation>
    </message>
    <message>
        <source>password file %1 may be read by others than its owner (chmod 600 it)</source>
        <translation>password file %1 may be read by others than its owner (chmod 600 it)</translation>
    </message>
    <message>
        <source>cannot read password file %1: %2</source>
        <translation>cannot read password file %1: %2</translation>
    </message>
</context>
<context>
    <name>station</name>
    <message>
        <source>lane database %1 does not exist</source>
        <translation>lane database %1 does not exist</translation>
    </message>
    <message>
        <source>SslMode: unknown value &apos;%1&apos; (one of %2)</source>
        <translation>SslMode: unknown value &apos;%1&apos; (one of %2)</translation>
    </message>
    <message>
        <source>no station server is set ([Database] ServerHost)</source>
        <translation>no station server is set ([Database] ServerHost)</translation>
    </message>
    <message>
        <source>record %1 is being stored by another connection</source>
        <translation>record %1 is being stored by another connection</translation>
    </message>
    <message>
        <source>the server answered %1 rows for %2 records</source>
        <translation>the server answered %1 rows for %2 records</translation>
    </message>
</context>
<context>
    <name>station::Forwarder</name>
    <message>
        <source>记录已同步</source>
        <translation>Records in sync</translation>
    </message>
    <message>
        <source>待上传 %1 条</source>
        <translation>%1 to upload</translation>
    </message>
    <message>
        <source>数据库连接失败：</source>
        <translation>Database connection failed: </translation>
    </message>
    <message>
        <source>%1 条记录被站端拒绝</source>
        <translation>%1 records refused by the station server</translation>
    </message>
    <message>
        <source>站端记录与本机不一致</source>
        <translation>The station server holds a different record under this id</translation>
    </message>
    <message>
        <source>已加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>未加密</source>
        <translation>Not encrypted</translation>
    </message>
</context>
<context>
    <name>station::StationLink</name>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
</TS>
