<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="zh_CN">
<context>
    <name>AttachDialog</name>
    <message>
        <source>添加附件</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AttachmentStore</name>
    <message>
        <source>无法读取「%1」。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」超过 %2 MB 的图片上限。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」无法作为图片读取。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」（%2×%3 像素）无法解码，可能太大或已损坏。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴的图片是空的。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」无法编码：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」不是图片、文本或 PDF，无法附加。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」超过 %2 KB 的文本上限。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」超过 %2 MB 的 PDF 上限。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」无法作为 PDF 打开。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」有密码保护，无法读取。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」有 %2 页，超过 %3 页的上限。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」：这个 PDF 没有可提取的文字。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存附件「%1」：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入“%1”：%2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChatController</name>
    <message>
        <source>%1（网关已删除）</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChatHeader</name>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对话选项</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不再发送历史图片</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChatView</name>
    <message>
        <source>出错了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>好</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CodeBlockView</name>
    <message>
        <source>代码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制代码</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>无法识别的参数：%1

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用法：corvane [选项]

通过兼容 OpenAI 的网关与大语言模型对话。

选项：
  -h, --help     显示本帮助并退出
  -v, --version  显示版本并退出
  --mcp-probe 地址 [工具 [JSON 参数]]
                 连接 HTTP 上的 MCP 服务器，列出它的工具，
                 调用指定的工具并显示结果，然后退出

Qt 的选项（如 -platform、-session）照常可用。
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Composer</name>
    <message>
        <source>模型：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切换此对话使用的模型（在设置里维护模型列表）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输入消息，⏎ 发送 · ⌥⏎ 换行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输入消息，⏎ 发送 · ⇧⏎ 换行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止生成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>发送</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止生成（Esc）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>筛选模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · 约 %2 tokens</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>移除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>附件的文字约有 %1 tokens，可能超出模型的上下文长度。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加附件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加图片或文件（也可以粘贴或拖进来）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模型可以调用工具（每次调用按服务器的设置请你确认）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个对话不使用工具</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DataFileSaver</name>
    <message>
        <source>“%1”是一个文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>磁盘已满</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>磁盘配额已用完</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件超出了允许的大小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1”所在的磁盘是只读的</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有写入“%1”的权限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>写入“%1”时出错（%2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到存放数据的文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对话无法转成文件内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>读不出原来的“%1”，所以没有覆盖它</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>回复已完成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回复失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开对话</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EmptyChatView</name>
    <message>
        <source>还没有对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FailureNotice</name>
    <message>
        <source>；</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网关返回了网页而不是数据</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回复中断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>以上是网关给出的原因；可以稍后重试，或换一个模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>到「设置」填好 API Key 后，点「重试」。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>到「设置」重新粘贴 API Key，注意不要带上换行。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>到「设置」检查 API 地址，例如 https://api.openai.com/v1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器长时间没有回应，请稍后重试；反复出现时请检查网络或代理。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>可以点「重试」，或换一个模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最后一段没有收到，请点「重试」重新生成。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>可以点「重试」再试一次。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Key 不对或已失效，请到「设置」检查。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个 Key 没有使用该模型或接口的权限，请检查 Key，或换一个模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到这个地址或模型，请检查 API 地址（通常以 /v1 结尾）和模型名称。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求的内容太大，请缩短消息，或开一个新对话。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求太频繁或额度已用完，%1 秒后可重试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求太频繁或额度已用完，请稍后再试，或检查账户余额。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网关或中转服务暂时出了问题，请稍后重试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对话太长，超出了模型能读的长度，请开一个新对话，或删掉前面的内容后重试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个模型不能读图片，请换一个支持图片的模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个模型不支持工具调用，请换一个模型，或关掉这个对话的工具。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器没有按 HTTP 回应，请检查 API 地址和端口。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网关拒绝了这个请求，原因见上面网关的说明。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查 API 地址是否写对，以及网络是否可用。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查系统或环境变量（HTTPS_PROXY 等）里的代理设置。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查 API 地址是否正确，以及网络是否拦截了安全连接。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接在途中断开了，请点「重试」；反复出现时请检查网络或代理。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查 API 地址和端口是否写对、服务是否在运行，以及代理设置。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查网络连接、API 地址和代理设置，然后重试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>在模型菜单里选一个模型后再点「重试」，也可以到「设置」重新添加网关。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个模型不能读图片，请换一个支持图片的模型，或不带图片重试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个模型不支持工具，可以关闭这个对话的工具后重试。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FailureStrip</name>
    <message>
        <source>重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>收起详情</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>详情</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不带图片重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭工具后重试</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileDialog</name>
    <message>
        <source>File name</source>
        <translation>文件名</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>文件类型</translation>
    </message>
</context>
<context>
    <name>GatewayPreset</name>
    <message>
        <source>硅基流动 SiliconFlow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>月之暗面 Moonshot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>阿里云百炼</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>智谱 GLM</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>火山方舟</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自定义</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryActions</name>
    <message>
        <source>无法写入文件：这不是本机上的位置。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入“%1”：%2。文件没有改动。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Corvane 备份 %1.json</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个对话已不存在。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有可备份的对话。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对话中有无法保存的数据，没有写入备份。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法恢复。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取“%1”。没有恢复任何对话。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1”不是 Corvane 的备份或数据文件，或已损坏。没有恢复任何对话。</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>已恢复 %n 个对话</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>；其中 %n 个对话的网关在本机没有，已改用第一个网关</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>，%n 个已存在</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>对话已备份，但附件没有全部复制：%1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>；%n 个附件不在备份里</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>；%n 个附件与备份时不符，没有恢复：%1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryDialogs</name>
    <message>
        <source>导出为 Markdown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Markdown 文件 (*.md)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份全部对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON 文件 (*.json)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从备份恢复</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>JsonRpcReader</name>
    <message>
        <source>跳过了一行超过 %1 字节的输出：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跳过了一行不是 JSON-RPC 消息的输出：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>文件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出为 Markdown…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制整个对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份全部对话…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从备份恢复…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>外观</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>浅色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>深色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代码高亮</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>渲染数学公式</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放大</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>缩小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实际大小</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已删除「%1」</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>撤销</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对话还没有保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法保存对话：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>现在退出，上次保存之后的更改都会丢失。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>仍然退出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重试</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已导出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>桌面通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MathBlockView</name>
    <message>
        <source>复制公式</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MathService</name>
    <message>
        <source>公式排版程序不可用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>公式太长</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>公式排版超时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>公式无法排版</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>公式无法绘制</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpClient</name>
    <message>
        <source>[图片]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[音频]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[链接：%1]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[资源：%1]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[%1 内容]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器的会话已过期</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器拒绝了连接：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器使用的协议版本「%1」本程序不支持</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法取得工具列表：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器尚未就绪</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
…（结果过长，省略了其余 %1 字节）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器返回了错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器在 %1 秒内没有回应</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpHttpTransport</name>
    <message>
        <source>MCP 服务器把请求重定向到了另一个来源，为保护请求头中的凭据没有跟随</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器在 %1 秒内没有回答</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器的事件流在 %1 秒内没有给出消息地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器地址应以 http:// 或 https:// 开头：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求头“%1”含有不能发送的字符</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回答</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>事件流</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器的%1中有一个过大的事件，已丢弃</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器给出的消息地址不在它自己的来源：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器的%1无法识别：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器的%1中有一项不是消息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>与 MCP 服务器的事件流断开了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>它的回答不是事件流</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HTTP %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器没有打开事件流（HTTP %1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器不接受 POST（HTTP %1），改用旧的 HTTP+SSE 方式连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器回答了 HTTP %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器回答了 HTTP %1：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器既不接受 POST（HTTP %1），也没有打开旧式的事件流（%2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 服务器的事件流断开了：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpHub</name>
    <message>
        <source>没有填写命令或地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具服务器已关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具服务器的设置已更改，正在重新连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具服务器已移除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在重新连接工具服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具服务器「%1」已不可用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用户已停止</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpImport</name>
    <message>
        <source>服务器「%1」的“%2”应为%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文字</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一个列表</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>由文字组成的列表</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一个对象，其中的值都是文字</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器「%1」既没有“command”也没有“url”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不是有效的 JSON：%1（第 %2 个字符附近）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>应为一个 JSON 对象，例如 {&quot;mcpServers&quot;: {…}}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有找到任何服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器的名称不能为空</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器「%1」应为一个对象，例如 {&quot;command&quot;: …}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;ask&quot;、&quot;askOncePerTool&quot; 或 &quot;never&quot;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpProbe</name>
    <message>
        <source>服务器在 %1 秒内没有完成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已连接：%1 %2（协议 %3，%4）
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具（%1 个）：
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调用 %1 的结果：
%2
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具 %1 报告了错误</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--mcp-probe 的参数有误：%1

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>缺少服务器地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>多余的参数 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具参数不是 JSON 对象：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>McpStdioTransport</name>
    <message>
        <source>找不到工作目录「%1」</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到命令「%1」</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法启动「%1」：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器进程意外终止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器进程已退出（退出码 %1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MessageList</name>
    <message>
        <source>滚动到最新消息</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开始对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>先到「设置」填好 API 地址、Key 和模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>当前模型：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开设置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MessageListModel</name>
    <message>
        <source>输入 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>输出 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>（其中推理 %1）</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MessageRow</name>
    <message>
        <source>复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>编辑</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新生成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保存并重发</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1（文件已丢失）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>移除</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModelCatalog</name>
    <message numerus="yes">
        <source>连接成功，服务器列出了 %n 个模型。</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1：%2</source>
        <comment>what failed: the gateway&apos;s words</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModelListRequest</name>
    <message>
        <source>服务器返回的模型列表过大。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器的回应不是模型列表，请检查 API 地址。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器没有列出任何模型。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PendingAttachments</name>
    <message>
        <source>「%1」不是本机文件，无法附加。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>截图</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReasoningBlock</name>
    <message>
        <source>正在思考…（%1 秒）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在思考…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已深度思考（%1 秒）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已深度思考</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReplyStream</name>
    <message numerus="yes">
        <source>%n 个附件文件已丢失，没有随消息发送：%1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具服务器还没准备好，这次没有用上：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SaveErrorBar</name>
    <message>
        <source>无法保存对话：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重试</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>接口</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API 地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更多模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>填了之后，聊天输入框上方会出现模型切换按钮。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从服务器获取</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>筛选模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全不选</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1（已在列表中）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有匹配的模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加 %1 个</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每行一个，可在对话里随时切换</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>系统提示词（可选）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System Prompt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>例如：你是一个简洁的中文助手。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址填到 /v1 即可，发送时自动拼 /chat/completions。兼容任何 OpenAI 格式的网关。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加网关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除网关</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上移</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>下移</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新对话默认使用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设为默认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本机服务，不需要</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不需要 API Key（本机服务）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模型</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第一个是这个网关上新对话的默认模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没有默认模型：在列表里选一个「设为默认」。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认模型「%1」不在服务器的列表里，可以在列表里另选一个「设为默认」。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>所有网关共用。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>改动会立即保存。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>完成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1（本机已检测到）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除网关「%1」？</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>有 %n 个对话在用这个网关。它们会留着原来的模型名，发送前需要换一个模型。</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>命令以你的账户权限运行，能读写你能读写的一切；HTTP 服务器会收到模型给的参数。只添加你信任的服务器。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>命令</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工作目录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>主文件夹</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>环境变量（每行一个 名称=值）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求头（每行一个 名称: 值）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调用前</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“本对话内都允许”只在本次运行中有效。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每次都问我</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每个工具问一次</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>直接运行，不问</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具（%1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关掉的工具不会提供给模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个服务器没有工具。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接后在这里列出工具。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>日志</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>让模型调用 MCP 服务器的工具：读文件、搜索、查数据库…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>添加工具服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除工具服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用命令启动的服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HTTP 服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导入 JSON…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导入 JSON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴服务器说明里的配置，例如 {&quot;mcpServers&quot;: {…}}。同名的服务器会被替换。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除工具服务器「%1」？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模型将不能再调用它的工具。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>设置</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SidebarView</name>
    <message>
        <source>搜索</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>搜索对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有找到匹配的对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重命名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>导出为 Markdown…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制整个对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重命名对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Corvane 已经在使用“%1”，但它没有回应。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Store</name>
    <message>
        <source>数据文件里有几项网关设置无法识别，已跳过；原文件会在下次保存前另存一份。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Stored</name>
    <message>
        <source>新对话</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未命名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用户</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>助手</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>系统</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>思考过程</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>（恢复）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无响应</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法连接到服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器中途断开了连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到服务器，请检查 API 地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接服务器超时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接被中止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>安全连接失败，服务器证书无效或不受信任</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网络不可用，请检查网络连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重定向次数过多</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器重定向到了不安全的地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代理服务器拒绝连接，请检查代理设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代理服务器中途断开了连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到代理服务器，请检查代理设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接代理服务器超时</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代理服务器要求身份验证，请检查代理的用户名和密码</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>代理服务器出错，请检查代理设置</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API 地址应以 http:// 或 https:// 开头</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器的回应无法识别</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网络错误：%1（%2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求失败（HTTP %1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求失败（HTTP %1）：
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API 地址无效，请到「设置」检查。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没填 API Key，请到「设置」里填写。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Key 含有换行或控制字符，请到「设置」重新填写。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求超时：服务器长时间没有回应，请稍后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求已取消。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求失败（服务器报错）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请求失败（服务器报错）：
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模型没有返回内容，请重试或换一个模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回复没有收完：最后一段数据在中途断开了。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>默认</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这个对话所用的网关已被删除，请在输入框上方的模型菜单里换一个模型。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>截图 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件「%1」（从 PDF 提取的文字）：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件「%1」：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--- 第 %1 页 ---</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用户拒绝了这次调用。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用户已停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有名为 %1 的工具。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数不是一个 JSON 对象。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已连续调用工具 16 轮，已停止</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TextContextMenu</name>
    <message>
        <source>撤销</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重做</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>剪切</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>复制</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全选</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ToolCallsView</name>
    <message>
        <source>调用 %1 · %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>调用 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>参数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>出错</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>结果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>模型想调用 %1 的工具 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>允许</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本对话内都允许</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>拒绝</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ToolServerListModel</name>
    <message>
        <source>第 %1 行应写成「名称%2值」。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已停用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未启动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>已连接 · %n 个工具</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名称不能为空。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已有名为「%1」的服务器。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有找到服务器。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TypingDots</name>
    <message>
        <source>正在输入</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
