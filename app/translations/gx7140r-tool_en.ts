<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>frmMain</name>
    <message>
        <source>GX7140R二氧化碳传感器工具软件</source>
        <translation>GX7140R CO2 Sensor Tool</translation>
    </message>
    <message>
        <source>手册及资料下载(请点击链接)：</source>
        <translation>Manuals, downloads (click):</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>串口号</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>串口发送数据</source>
        <translation>Data sent</translation>
    </message>
    <message>
        <source>串口接收数据</source>
        <translation>Data received</translation>
    </message>
    <message>
        <source>成功接收/循环 计数</source>
        <translation>Replies/requests</translation>
    </message>
    <message>
        <source>成功接收 计数</source>
        <translation>replies received</translation>
    </message>
    <message>
        <source>循环 计数</source>
        <translation>requests sent</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>数据采集通讯状态指示</source>
        <translation>Communication status</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>MODBUS设置</source>
        <translation>MODBUS settings</translation>
    </message>
    <message>
        <source>设备地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>功 能 码</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>超始地址</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>数据长度</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>功能码</source>
        <translation>Function code</translation>
    </message>
    <message>
        <source>设备地址修改操作</source>
        <translation>Change device address</translation>
    </message>
    <message>
        <source>将地址      修改为  </source>
        <translation>Change      to  </translation>
    </message>
    <message>
        <source>将地址</source>
        <translation>Present address</translation>
    </message>
    <message>
        <source>修改为</source>
        <translation>New address</translation>
    </message>
    <message>
        <source>执行</source>
        <translation>Execute</translation>
    </message>
    <message>
        <source>读地址</source>
        <translation>Read address</translation>
    </message>
    <message>
        <source>数据及参数查询</source>
        <translation>Data and parameters</translation>
    </message>
    <message>
        <source>气体浓度</source>
        <translation>Concentration</translation>
    </message>
    <message>
        <source>报警状态</source>
        <translation>Alarm state</translation>
    </message>
    <message>
        <source>值0时正常,1时报警</source>
        <translation>0: normal, 1: alarm</translation>
    </message>
    <message>
        <source>量程系数</source>
        <translation>Range coefficient</translation>
    </message>
    <message>
        <source>值范围为：0.5到2.0，默认值1.0</source>
        <translation>Range 0.5 to 2.0, default 1.0</translation>
    </message>
    <message>
        <source>量程低值</source>
        <translation>Range low</translation>
    </message>
    <message>
        <source>值范围为：0-1000，默认为0</source>
        <translation>Range 0-1000, default 0</translation>
    </message>
    <message>
        <source>量程高值</source>
        <translation>Range high</translation>
    </message>
    <message>
        <source>值范围为：1000-20000，默认为2000</source>
        <translation>Range 1000-20000, default 2000</translation>
    </message>
    <message>
        <source>显示值校准</source>
        <translation>Display calibration</translation>
    </message>
    <message>
        <source>值范围为：100-2000，默认为1000</source>
        <translation>Range 100-2000, default 1000</translation>
    </message>
    <message>
        <source>报警低值</source>
        <translation>Alarm low</translation>
    </message>
    <message>
        <source>报警高值</source>
        <translation>Alarm high</translation>
    </message>
    <message>
        <source>值范围为：100-20000，默认为2000</source>
        <translation>Range 100-20000, default 2000</translation>
    </message>
    <message>
        <source>定时时长(ms)</source>
        <translation>Period (ms)</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>设置 量程系数</source>
        <translation>Set range coefficient</translation>
    </message>
    <message>
        <source>设置 量程低值</source>
        <translation>Set range low</translation>
    </message>
    <message>
        <source>设置 量程高值</source>
        <translation>Set range high</translation>
    </message>
    <message>
        <source>设置 显示值校准</source>
        <translation>Set display calibration</translation>
    </message>
    <message>
        <source>设置 报警低值</source>
        <translation>Set alarm low</translation>
    </message>
    <message>
        <source>设置 报警高值</source>
        <translation>Set alarm high</translation>
    </message>
    <message>
        <source>单次</source>
        <translation>Once</translation>
    </message>
    <message>
        <source>循环</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>trend_texts</name>
    <message>
        <source>气体浓度趋势</source>
        <translation>Gas concentration trend</translation>
    </message>
    <message>
        <source>气体浓度</source>
        <translation>Concentration</translation>
    </message>
    <message>
        <source>无效应答</source>
        <translation>Rejected reply</translation>
    </message>
    <message>
        <source>浓度 (ppm)</source>
        <translation>Concentration (ppm)</translation>
    </message>
    <message>
        <source>时间 (秒，自开始)</source>
        <translation>Time (s since start)</translation>
    </message>
    <message>
        <source>时间 (分钟，自开始)</source>
        <translation>Time (min since start)</translation>
    </message>
    <message>
        <source>当前 %1 ppm&#x3000;&#x3000;范围内：最低 %2&#x3000;最高 %3&#x3000;平均 %4 ppm&#x3000;读数 %5&#x3000;无效应答 %6</source>
        <translation>Last %1 ppm    shown span: min %2, max %3, mean %4 ppm, %5 readings, %6 rejected replies</translation>
    </message>
    <message>
        <source>开始 %1&#x3000;串口 %2&#x3000;设备地址 %3</source>
        <translation>Started %1    port %2    module address %3</translation>
    </message>
    <message>
        <source>显示范围 %1：%2</source>
        <translation>Span %1: %2</translation>
    </message>
    <message>
        <source>尚无读数</source>
        <translation>No readings yet</translation>
    </message>
    <message>
        <source>显示范围</source>
        <translation>Span</translation>
    </message>
    <message>
        <source>导出 PNG…</source>
        <translation>Export PNG…</translation>
    </message>
    <message>
        <source>导出 SVG…</source>
        <translation>Export SVG…</translation>
    </message>
    <message>
        <source>PNG 图片</source>
        <translation>PNG images</translation>
    </message>
    <message>
        <source>SVG 图形</source>
        <translation>SVG drawings</translation>
    </message>
    <message>
        <source>图表未能保存到 %1</source>
        <translation>Could not save the chart to %1</translation>
    </message>
    <message>
        <source>全部（最多 24 小时）</source>
        <translation>Whole run (24 hours at most)</translation>
    </message>
    <message>
        <source>最近 1 小时</source>
        <translation>Last hour</translation>
    </message>
    <message>
        <source>最近 10 分钟</source>
        <translation>Last 10 minutes</translation>
    </message>
    <message>
        <source>最近 1 分钟</source>
        <translation>Last minute</translation>
    </message>
</context>
<context>
    <name>window_texts</name>
    <message>
        <source>智能模块</source>
        <translation>Smart module</translation>
    </message>
    <message>
        <source>出错提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>请选择端口</source>
        <translation>Please select a port</translation>
    </message>
    <message>
        <source>串口已打开或被占用！</source>
        <translation>The port is already open or in use!</translation>
    </message>
    <message>
        <source>打开串口出错，请确定串口是否已被占用</source>
        <translation>Error opening the serial port; check whether it is in use</translation>
    </message>
    <message>
        <source>你输入的定时时长格式有误，应该为数字，值范围为100-60000!</source>
        <translation>The period you entered is malformed; it should be a number from 100 to 60000!</translation>
    </message>
    <message>
        <source>你输入的定时时长格式有误，应该为数字，值范围为50-60000!</source>
        <translation>The period you entered is malformed; it should be a number from 50 to 60000!</translation>
    </message>
    <message>
        <source>你输入的原设备地址格式有误!</source>
        <translation>The present device address you entered is malformed!</translation>
    </message>
    <message>
        <source>你输入的目标设备地址格式有误!</source>
        <translation>The new device address you entered is malformed!</translation>
    </message>
    <message>
        <source>请指定正确的设备地址，正确值范围为1-250</source>
        <translation>Please give a correct device address; the valid range is 1-250</translation>
    </message>
    <message>
        <source>请指定正确的设备地址，正确值范围为1-250!</source>
        <translation>Please give a correct device address; the valid range is 1-250!</translation>
    </message>
    <message>
        <source>你输入的值有误，请输入0-9的数据，不能含字母！</source>
        <translation>The value you entered is wrong; enter digits 0-9, no letters!</translation>
    </message>
    <message>
        <source>绿灯</source>
        <translation>green</translation>
    </message>
    <message>
        <source>黄灯</source>
        <translation>yellow</translation>
    </message>
    <message>
        <source>红灯</source>
        <translation>red</translation>
    </message>
    <message>
        <source>无效应答，未解码</source>
        <translation>invalid reply, not decoded</translation>
    </message>
    <message>
        <source>模块拒绝：%1 %2</source>
        <translation>Module refused: %1 %2</translation>
    </message>
    <message>
        <source>非法功能</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>slave device failure</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>slave device busy</translation>
    </message>
    <message>
        <source>存储奇偶性差错</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>网关路径不可用</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>网关目标设备响应失败</source>
        <translation>gateway target device failed to respond</translation>
    </message>
    <message>
        <source>未知异常</source>
        <translation>unknown exception</translation>
    </message>
    <message>
        <source>记录文件写入失败（磁盘已满或文件不可写），记录已停止，测量照常进行。</source>
        <translation>Could not write to the log file (disk full or not writable). Logging has stopped; measuring goes on.</translation>
    </message>
    <message>
        <source>模块应答的地址为%1，请用读地址核对</source>
        <translation>The module answered with address %1: check with Read address</translation>
    </message>
    <message>
        <source>模块应答的值为%1，请用单次核对</source>
        <translation>The module answered with value %1: check with Once</translation>
    </message>
    <message>
        <source>模块应答的寄存器为%1，值为%2</source>
        <translation>The module answered for register %1 with value %2</translation>
    </message>
    <message>
        <source>设备 %1 不存在</source>
        <translation>No such device: %1</translation>
    </message>
    <message>
        <source>%1 被进程 %2（%3）占用</source>
        <translation>%1 is in use by process %2 (%3)</translation>
    </message>
    <message>
        <source>%1 被进程 %2 占用</source>
        <translation>%1 is in use by process %2</translation>
    </message>
    <message>
        <source>%1 被锁文件 %2 锁住，但其中没有进程号（%3）：确认没有程序在用该串口后删除该文件</source>
        <translation>%1 is locked by %2, which names no process (%3): remove that file if no program uses the port</translation>
    </message>
    <message>
        <source>无权打开 %1（属主 %2，组 %3，权限 %4）：只有属主可以打开；用 udev 规则 GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot; 把它交给 dialout 组（见 99-gx7140r.rules.example）</source>
        <translation>You cannot open %1 (owner %2, group %3, mode %4): only its owner may; a udev rule with GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot; gives it to the dialout group (see 99-gx7140r.rules.example)</translation>
    </message>
    <message>
        <source>无权打开 %1（属主 %2，组 %3，权限 %4）：sudo adduser $USER %3，然后重新登录</source>
        <translation>You cannot open %1 (owner %2, group %3, mode %4): sudo adduser $USER %3, then log in again</translation>
    </message>
    <message>
        <source>暂时无权打开 %1（属主 %2，组 %3，权限 %4）：你在登录后才加入 %3 组，请注销后重新登录</source>
        <translation>You cannot open %1 yet (owner %2, group %3, mode %4): you joined %3 after logging in; log out and in again</translation>
    </message>
    <message>
        <source>线路回传了发送的数据：请用 --echo 启动本程序</source>
        <translation>The line gives back what was sent: start with --echo</translation>
    </message>
    <message>
        <source>线路没有回传发送的数据：请不带 --echo 启动本程序</source>
        <translation>The line did not give back what was sent: start without --echo</translation>
    </message>
</context>
</TS>
