<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AttachDialog</name>
    <message>
        <source>添加附件</source>
        <translation>Attach Files</translation>
    </message>
</context>
<context>
    <name>AttachmentStore</name>
    <message>
        <source>无法读取「%1」。</source>
        <translation>Cannot read “%1”.</translation>
    </message>
    <message>
        <source>「%1」超过 %2 MB 的图片上限。</source>
        <translation>“%1” is over the %2 MB limit for images.</translation>
    </message>
    <message>
        <source>「%1」无法作为图片读取。</source>
        <translation>“%1” cannot be read as an image.</translation>
    </message>
    <message>
        <source>「%1」（%2×%3 像素）无法解码，可能太大或已损坏。</source>
        <translation>“%1” (%2×%3 pixels) cannot be decoded; it may be too large or damaged.</translation>
    </message>
    <message>
        <source>粘贴的图片是空的。</source>
        <translation>The pasted image is empty.</translation>
    </message>
    <message>
        <source>「%1」无法编码：%2</source>
        <translation>“%1” cannot be encoded: %2</translation>
    </message>
    <message>
        <source>「%1」不是图片、文本或 PDF，无法附加。</source>
        <translation>“%1” is not an image, text or PDF, so it cannot be attached.</translation>
    </message>
    <message>
        <source>「%1」超过 %2 KB 的文本上限。</source>
        <translation>“%1” is over the %2 KB limit for text.</translation>
    </message>
    <message>
        <source>「%1」超过 %2 MB 的 PDF 上限。</source>
        <translation>“%1” is over the %2 MB limit for PDFs.</translation>
    </message>
    <message>
        <source>「%1」无法作为 PDF 打开。</source>
        <translation>“%1” cannot be opened as a PDF.</translation>
    </message>
    <message>
        <source>「%1」有密码保护，无法读取。</source>
        <translation>“%1” is password-protected and cannot be read.</translation>
    </message>
    <message>
        <source>「%1」有 %2 页，超过 %3 页的上限。</source>
        <translation>“%1” has %2 pages, over the limit of %3.</translation>
    </message>
    <message>
        <source>「%1」：这个 PDF 没有可提取的文字。</source>
        <translation>“%1”: this PDF has no text to extract.</translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”</source>
        <translation>Cannot create the folder “%1”</translation>
    </message>
    <message>
        <source>无法保存附件「%1」：%2</source>
        <translation>Cannot save the attachment “%1”: %2</translation>
    </message>
    <message>
        <source>无法写入“%1”：%2</source>
        <translation>Cannot write “%1”: %2</translation>
    </message>
</context>
<context>
    <name>ChatController</name>
    <message>
        <source>%1（网关已删除）</source>
        <translation>%1 (gateway deleted)</translation>
    </message>
</context>
<context>
    <name>ChatHeader</name>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>对话选项</source>
        <translation>Chat options</translation>
    </message>
    <message>
        <source>不再发送历史图片</source>
        <translation>Stop sending earlier images</translation>
    </message>
</context>
<context>
    <name>ChatView</name>
    <message>
        <source>出错了</source>
        <translation>Something Went Wrong</translation>
    </message>
    <message>
        <source>好</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CodeBlockView</name>
    <message>
        <source>代码</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>已复制</source>
        <translation>Copied</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>复制代码</source>
        <translation>Copy code</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>无法识别的参数：%1

</source>
        <translation>Unknown option: %1

</translation>
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
        <translation>Usage: corvane [options]

Chat with large language models through OpenAI-compatible gateways.

Options:
  -h, --help     Show this help and exit
  -v, --version  Show the version and exit
  --mcp-probe URL [TOOL [JSON-ARGS]]
                 Connect to an MCP server over HTTP, list its tools,
                 call the tool named and show the result, then exit

Qt&apos;s own options (such as -platform, -session) work as usual.
</translation>
    </message>
</context>
<context>
    <name>Composer</name>
    <message>
        <source>模型：%1</source>
        <translation>Model: %1</translation>
    </message>
    <message>
        <source>切换此对话使用的模型（在设置里维护模型列表）</source>
        <translation>Change this chat&apos;s model (the list is kept in Settings)</translation>
    </message>
    <message>
        <source>筛选模型</source>
        <translation>Filter models</translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>%1 · 约 %2 tokens</source>
        <translation>%1 · about %2 tokens</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>附件的文字约有 %1 tokens，可能超出模型的上下文长度。</source>
        <translation>The attached text is about %1 tokens and may not fit in the model&apos;s context.</translation>
    </message>
    <message>
        <source>添加附件</source>
        <translation>Attach files</translation>
    </message>
    <message>
        <source>添加图片或文件（也可以粘贴或拖进来）</source>
        <translation>Attach images or files (or paste or drop them here)</translation>
    </message>
    <message>
        <source>输入消息，⏎ 发送 · ⌥⏎ 换行</source>
        <translation>Message · ⏎ to send · ⌥⏎ for a new line</translation>
    </message>
    <message>
        <source>输入消息，⏎ 发送 · ⇧⏎ 换行</source>
        <translation>Message · ⏎ to send · ⇧⏎ for a new line</translation>
    </message>
    <message>
        <source>停止生成</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>停止生成（Esc）</source>
        <translation>Stop generating (Esc)</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>模型可以调用工具（每次调用按服务器的设置请你确认）</source>
        <translation>The model can call tools (each call is confirmed as the server&apos;s settings say)</translation>
    </message>
    <message>
        <source>这个对话不使用工具</source>
        <translation>This chat uses no tools</translation>
    </message>
</context>
<context>
    <name>DataFileSaver</name>
    <message>
        <source>“%1”是一个文件夹</source>
        <translation>“%1” is a folder</translation>
    </message>
    <message>
        <source>磁盘已满</source>
        <translation>The disk is full</translation>
    </message>
    <message>
        <source>磁盘配额已用完</source>
        <translation>The disk quota is used up</translation>
    </message>
    <message>
        <source>文件超出了允许的大小</source>
        <translation>The file is larger than allowed</translation>
    </message>
    <message>
        <source>“%1”所在的磁盘是只读的</source>
        <translation>The disk holding “%1” is read-only</translation>
    </message>
    <message>
        <source>没有写入“%1”的权限</source>
        <translation>No permission to write “%1”</translation>
    </message>
    <message>
        <source>写入“%1”时出错（%2）</source>
        <translation>Error writing “%1” (%2)</translation>
    </message>
    <message>
        <source>找不到存放数据的文件夹</source>
        <translation>The data folder cannot be found</translation>
    </message>
    <message>
        <source>对话无法转成文件内容</source>
        <translation>The chats cannot be turned into file contents</translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”</source>
        <translation>Cannot create the folder “%1”</translation>
    </message>
    <message>
        <source>读不出原来的“%1”，所以没有覆盖它</source>
        <translation>The existing “%1” cannot be read, so it was not overwritten</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>回复已完成</source>
        <translation>Reply finished</translation>
    </message>
    <message>
        <source>回复失败：%1</source>
        <translation>Reply failed: %1</translation>
    </message>
    <message>
        <source>打开对话</source>
        <translation>Open Chat</translation>
    </message>
</context>
<context>
    <name>EmptyChatView</name>
    <message>
        <source>还没有对话</source>
        <translation>No chats yet</translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation>New Chat</translation>
    </message>
</context>
<context>
    <name>FailureNotice</name>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>API Key 不对或已失效，请到「设置」检查。</source>
        <translation>The API key is wrong or has expired. Check it in Settings.</translation>
    </message>
    <message>
        <source>这个 Key 没有使用该模型或接口的权限，请检查 Key，或换一个模型。</source>
        <translation>This key may not use this model or endpoint. Check the key, or choose another model.</translation>
    </message>
    <message>
        <source>找不到这个地址或模型，请检查 API 地址（通常以 /v1 结尾）和模型名称。</source>
        <translation>The address or model was not found. Check the API URL (it usually ends in /v1) and the model name.</translation>
    </message>
    <message>
        <source>请求的内容太大，请缩短消息，或开一个新对话。</source>
        <translation>The request is too large. Shorten the message, or start a new chat.</translation>
    </message>
    <message>
        <source>请求太频繁或额度已用完，%1 秒后可重试。</source>
        <translation>Too many requests, or the quota is used up. You can retry in %1 s.</translation>
    </message>
    <message>
        <source>请求太频繁或额度已用完，请稍后再试，或检查账户余额。</source>
        <translation>Too many requests, or the quota is used up. Try again later, or check your account balance.</translation>
    </message>
    <message>
        <source>网关或中转服务暂时出了问题，请稍后重试。</source>
        <translation>The gateway or a relay has a temporary problem. Try again later.</translation>
    </message>
    <message>
        <source>对话太长，超出了模型能读的长度，请开一个新对话，或删掉前面的内容后重试。</source>
        <translation>The chat is longer than the model can read. Start a new chat, or delete earlier messages and retry.</translation>
    </message>
    <message>
        <source>这个模型不能读图片，请换一个支持图片的模型。</source>
        <translation>This model cannot read images. Choose a model that can.</translation>
    </message>
    <message>
        <source>这个模型不支持工具调用，请换一个模型，或关掉这个对话的工具。</source>
        <translation>This model does not support tools. Choose another model, or turn off this chat&apos;s tools.</translation>
    </message>
    <message>
        <source>服务器没有按 HTTP 回应，请检查 API 地址和端口。</source>
        <translation>The server did not answer in HTTP. Check the API URL and port.</translation>
    </message>
    <message>
        <source>网关拒绝了这个请求，原因见上面网关的说明。</source>
        <translation>The gateway refused the request; its reason is above.</translation>
    </message>
    <message>
        <source>请检查 API 地址是否写对，以及网络是否可用。</source>
        <translation>Check that the API URL is right and the network is available.</translation>
    </message>
    <message>
        <source>请检查系统或环境变量（HTTPS_PROXY 等）里的代理设置。</source>
        <translation>Check the proxy settings of the system and the environment (HTTPS_PROXY and others).</translation>
    </message>
    <message>
        <source>请检查 API 地址是否正确，以及网络是否拦截了安全连接。</source>
        <translation>Check that the API URL is right and that the network does not block secure connections.</translation>
    </message>
    <message>
        <source>连接在途中断开了，请点「重试」；反复出现时请检查网络或代理。</source>
        <translation>The connection dropped. Click Retry; if this keeps happening, check your network or proxy.</translation>
    </message>
    <message>
        <source>请检查 API 地址和端口是否写对、服务是否在运行，以及代理设置。</source>
        <translation>Check the API URL and port, that the service is running, and the proxy settings.</translation>
    </message>
    <message>
        <source>请检查网络连接、API 地址和代理设置，然后重试。</source>
        <translation>Check the network connection, the API URL and the proxy settings, then retry.</translation>
    </message>
    <message>
        <source>网关返回了网页而不是数据</source>
        <translation>The gateway returned a web page instead of data</translation>
    </message>
    <message>
        <source>回复中断</source>
        <translation>Reply interrupted</translation>
    </message>
    <message>
        <source>以上是网关给出的原因；可以稍后重试，或换一个模型。</source>
        <translation>That is the gateway&apos;s reason. Try again later, or choose another model.</translation>
    </message>
    <message>
        <source>到「设置」填好 API Key 后，点「重试」。</source>
        <translation>Enter the API key in Settings, then click Retry.</translation>
    </message>
    <message>
        <source>到「设置」重新粘贴 API Key，注意不要带上换行。</source>
        <translation>Paste the API key again in Settings, without a line break.</translation>
    </message>
    <message>
        <source>到「设置」检查 API 地址，例如 https://api.openai.com/v1。</source>
        <translation>Check the API URL in Settings, for example https://api.openai.com/v1.</translation>
    </message>
    <message>
        <source>服务器长时间没有回应，请稍后重试；反复出现时请检查网络或代理。</source>
        <translation>The server did not answer for a long time. Try again later; if this keeps happening, check your network or proxy.</translation>
    </message>
    <message>
        <source>可以点「重试」，或换一个模型。</source>
        <translation>Click Retry, or choose another model.</translation>
    </message>
    <message>
        <source>最后一段没有收到，请点「重试」重新生成。</source>
        <translation>The end of the reply did not arrive. Click Retry to regenerate it.</translation>
    </message>
    <message>
        <source>在模型菜单里选一个模型后再点「重试」，也可以到「设置」重新添加网关。</source>
        <translation>Choose a model in the model menu and click Retry, or add the gateway again in Settings.</translation>
    </message>
    <message>
        <source>可以点「重试」再试一次。</source>
        <translation>Click Retry to try again.</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>这个模型不支持工具，可以关闭这个对话的工具后重试。</source>
        <translation>This model does not support tools. Turn tools off for this chat and try again.</translation>
    </message>
    <message>
        <source>这个模型不能读图片，请换一个支持图片的模型，或不带图片重试。</source>
        <translation>This model cannot read images. Pick a model that can, or retry without images.</translation>
    </message>
</context>
<context>
    <name>FailureStrip</name>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>打开设置</source>
        <translation>Open Settings</translation>
    </message>
    <message>
        <source>收起详情</source>
        <translation>Hide Details</translation>
    </message>
    <message>
        <source>详情</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>不带图片重试</source>
        <translation>Retry Without Images</translation>
    </message>
    <message>
        <source>关闭工具后重试</source>
        <translation>Turn Off Tools and Retry</translation>
    </message>
</context>
<context>
    <name>FileDialog</name>
    <message>
        <source>File name</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
</context>
<context>
    <name>GatewayPreset</name>
    <message>
        <source>硅基流动 SiliconFlow</source>
        <translation>SiliconFlow</translation>
    </message>
    <message>
        <source>月之暗面 Moonshot</source>
        <translation>Moonshot AI</translation>
    </message>
    <message>
        <source>阿里云百炼</source>
        <translation>Alibaba Cloud Model Studio</translation>
    </message>
    <message>
        <source>智谱 GLM</source>
        <translation>Zhipu GLM</translation>
    </message>
    <message>
        <source>火山方舟</source>
        <translation>Volcano Engine Ark</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
</context>
<context>
    <name>HistoryActions</name>
    <message>
        <source>无法写入文件：这不是本机上的位置。</source>
        <translation>Cannot write the file: it is not a location on this computer.</translation>
    </message>
    <message>
        <source>无法写入“%1”：%2。文件没有改动。</source>
        <translation>Cannot write “%1”: %2. The file was not changed.</translation>
    </message>
    <message>
        <source>Corvane 备份 %1.json</source>
        <translation>Corvane backup %1.json</translation>
    </message>
    <message>
        <source>这个对话已不存在。</source>
        <translation>This chat no longer exists.</translation>
    </message>
    <message>
        <source>没有可备份的对话。</source>
        <translation>There are no chats to back up.</translation>
    </message>
    <message>
        <source>对话中有无法保存的数据，没有写入备份。</source>
        <translation>The chats hold data that cannot be saved, so no backup was written.</translation>
    </message>
    <message>
        <source>无法恢复。</source>
        <translation>Cannot restore.</translation>
    </message>
    <message>
        <source>无法读取“%1”。没有恢复任何对话。</source>
        <translation>Cannot read “%1”. No chats were restored.</translation>
    </message>
    <message>
        <source>“%1”不是 Corvane 的备份或数据文件，或已损坏。没有恢复任何对话。</source>
        <translation>“%1” is not a Corvane backup or data file, or it is damaged. No chats were restored.</translation>
    </message>
    <message numerus="yes">
        <source>已恢复 %n 个对话</source>
        <translation>
            <numerusform>Restored %n chat</numerusform>
            <numerusform>Restored %n chats</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>，%n 个已存在</source>
        <translation>
            <numerusform>, %n was already here</numerusform>
            <numerusform>, %n were already here</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>；其中 %n 个对话的网关在本机没有，已改用第一个网关</source>
        <translation>
            <numerusform>; %n of them used a gateway not set up here and now uses the first gateway</numerusform>
            <numerusform>; %n of them used a gateway not set up here and now use the first gateway</numerusform>
        </translation>
    </message>
    <message>
        <source>对话已备份，但附件没有全部复制：%1。</source>
        <translation>Chats backed up, but not all attachments were copied: %1.</translation>
    </message>
    <message numerus="yes">
        <source>；%n 个附件不在备份里</source>
        <translation>
            <numerusform>; %n attachment is not in the backup</numerusform>
            <numerusform>; %n attachments are not in the backup</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>；%n 个附件与备份时不符，没有恢复：%1</source>
        <translation>
            <numerusform>; %n attachment did not match the backup and was not restored: %1</numerusform>
            <numerusform>; %n attachments did not match the backup and were not restored: %1</numerusform>
        </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>HistoryDialogs</name>
    <message>
        <source>导出为 Markdown</source>
        <translation>Export as Markdown</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Markdown 文件 (*.md)</source>
        <translation>Markdown files (*.md)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>备份全部对话</source>
        <translation>Back Up All Chats</translation>
    </message>
    <message>
        <source>备份</source>
        <translation>Back Up</translation>
    </message>
    <message>
        <source>JSON 文件 (*.json)</source>
        <translation>JSON files (*.json)</translation>
    </message>
    <message>
        <source>从备份恢复</source>
        <translation>Restore from Backup</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Restore</translation>
    </message>
</context>
<context>
    <name>JsonRpcReader</name>
    <message>
        <source>跳过了一行超过 %1 字节的输出：%2</source>
        <translation>Skipped an output line longer than %1 bytes: %2</translation>
    </message>
    <message>
        <source>跳过了一行不是 JSON-RPC 消息的输出：%1</source>
        <translation>Skipped an output line that is not a JSON-RPC message: %1</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation>New Chat</translation>
    </message>
    <message>
        <source>导出为 Markdown…</source>
        <translation>Export as Markdown…</translation>
    </message>
    <message>
        <source>复制整个对话</source>
        <translation>Copy Whole Chat</translation>
    </message>
    <message>
        <source>备份全部对话…</source>
        <translation>Back Up All Chats…</translation>
    </message>
    <message>
        <source>从备份恢复…</source>
        <translation>Restore from Backup…</translation>
    </message>
    <message>
        <source>设置…</source>
        <translation>Settings…</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>View</translation>
    </message>
    <message>
        <source>外观</source>
        <translation>Appearance</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>Follow System</translation>
    </message>
    <message>
        <source>浅色</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>深色</source>
        <translation>Dark</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>代码高亮</source>
        <translation>Highlight Code</translation>
    </message>
    <message>
        <source>渲染数学公式</source>
        <translation>Render Math</translation>
    </message>
    <message>
        <source>桌面通知</source>
        <translation>Desktop Notifications</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>实际大小</source>
        <translation>Actual Size</translation>
    </message>
    <message>
        <source>已删除「%1」</source>
        <translation>Deleted “%1”</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>已导出</source>
        <translation>Exported</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>对话还没有保存</source>
        <translation>Chats Not Saved</translation>
    </message>
    <message>
        <source>无法保存对话：</source>
        <translation>Cannot save the chats: </translation>
    </message>
    <message>
        <source>现在退出，上次保存之后的更改都会丢失。</source>
        <translation>If you quit now, the changes since the last save are lost.</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>仍然退出</source>
        <translation>Quit Anyway</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
</context>
<context>
    <name>MathBlockView</name>
    <message>
        <source>复制公式</source>
        <translation>Copy formula</translation>
    </message>
</context>
<context>
    <name>MathService</name>
    <message>
        <source>公式排版程序不可用</source>
        <translation>The math typesetter is not available</translation>
    </message>
    <message>
        <source>公式太长</source>
        <translation>Formula too long</translation>
    </message>
    <message>
        <source>公式排版超时</source>
        <translation>Typesetting the formula took too long</translation>
    </message>
    <message>
        <source>公式无法排版</source>
        <translation>The formula cannot be typeset</translation>
    </message>
    <message>
        <source>公式无法绘制</source>
        <translation>The formula cannot be drawn</translation>
    </message>
</context>
<context>
    <name>McpClient</name>
    <message>
        <source>[图片]</source>
        <translation>[image]</translation>
    </message>
    <message>
        <source>[音频]</source>
        <translation>[audio]</translation>
    </message>
    <message>
        <source>[链接：%1]</source>
        <translation>[link: %1]</translation>
    </message>
    <message>
        <source>[资源：%1]</source>
        <translation>[resource: %1]</translation>
    </message>
    <message>
        <source>[%1 内容]</source>
        <translation>[%1 content]</translation>
    </message>
    <message>
        <source>服务器的会话已过期</source>
        <translation>The server&apos;s session has expired</translation>
    </message>
    <message>
        <source>服务器拒绝了连接：%1</source>
        <translation>The server refused the connection: %1</translation>
    </message>
    <message>
        <source>服务器使用的协议版本「%1」本程序不支持</source>
        <translation>The server uses protocol version “%1”, which this program does not support</translation>
    </message>
    <message>
        <source>无法取得工具列表：%1</source>
        <translation>Cannot get the list of tools: %1</translation>
    </message>
    <message>
        <source>服务器尚未就绪</source>
        <translation>The server is not ready yet</translation>
    </message>
    <message>
        <source>
…（结果过长，省略了其余 %1 字节）</source>
        <translation>
… (result too long; the remaining %1 bytes were left out)</translation>
    </message>
    <message>
        <source>服务器返回了错误</source>
        <translation>The server returned an error</translation>
    </message>
    <message>
        <source>服务器在 %1 秒内没有回应</source>
        <translation>The server did not answer within %1 seconds</translation>
    </message>
</context>
<context>
    <name>McpHttpTransport</name>
    <message>
        <source>MCP 服务器把请求重定向到了另一个来源，为保护请求头中的凭据没有跟随</source>
        <translation>The MCP server redirected the request to another origin; not followed, to protect the credentials in the headers</translation>
    </message>
    <message>
        <source>MCP 服务器在 %1 秒内没有回答</source>
        <translation>The MCP server did not answer within %1 seconds</translation>
    </message>
    <message>
        <source>MCP 服务器的事件流在 %1 秒内没有给出消息地址</source>
        <translation>The MCP server&apos;s event stream gave no message address within %1 seconds</translation>
    </message>
    <message>
        <source>MCP 服务器地址应以 http:// 或 https:// 开头：%1</source>
        <translation>An MCP server address must start with http:// or https://: %1</translation>
    </message>
    <message>
        <source>请求头“%1”含有不能发送的字符</source>
        <translation>Header “%1” contains characters that cannot be sent</translation>
    </message>
    <message>
        <source>回答</source>
        <translation>answer</translation>
    </message>
    <message>
        <source>事件流</source>
        <translation>event stream</translation>
    </message>
    <message>
        <source>MCP 服务器的%1中有一个过大的事件，已丢弃</source>
        <translation>The MCP server&apos;s %1 had an event that was too large; it was dropped</translation>
    </message>
    <message>
        <source>MCP 服务器给出的消息地址不在它自己的来源：%1</source>
        <translation>The message address the MCP server gave is not on its own origin: %1</translation>
    </message>
    <message>
        <source>MCP 服务器的%1无法识别：%2</source>
        <translation>The MCP server&apos;s %1 could not be read: %2</translation>
    </message>
    <message>
        <source>MCP 服务器的%1中有一项不是消息</source>
        <translation>An item in the MCP server&apos;s %1 is not a message</translation>
    </message>
    <message>
        <source>与 MCP 服务器的事件流断开了</source>
        <translation>The MCP server&apos;s event stream was disconnected</translation>
    </message>
    <message>
        <source>它的回答不是事件流</source>
        <translation>its answer is not an event stream</translation>
    </message>
    <message>
        <source>HTTP %1</source>
        <translation>HTTP %1</translation>
    </message>
    <message>
        <source>MCP 服务器没有打开事件流（HTTP %1）</source>
        <translation>The MCP server did not open an event stream (HTTP %1)</translation>
    </message>
    <message>
        <source>MCP 服务器不接受 POST（HTTP %1），改用旧的 HTTP+SSE 方式连接</source>
        <translation>The MCP server does not accept POST (HTTP %1); connecting the older HTTP+SSE way</translation>
    </message>
    <message>
        <source>MCP 服务器回答了 HTTP %1</source>
        <translation>The MCP server answered HTTP %1</translation>
    </message>
    <message>
        <source>MCP 服务器回答了 HTTP %1：%2</source>
        <translation>The MCP server answered HTTP %1: %2</translation>
    </message>
    <message>
        <source>MCP 服务器既不接受 POST（HTTP %1），也没有打开旧式的事件流（%2）</source>
        <translation>The MCP server neither accepts POST (HTTP %1) nor opened an older event stream (%2)</translation>
    </message>
    <message>
        <source>MCP 服务器的事件流断开了：%1</source>
        <translation>The MCP server&apos;s event stream was disconnected: %1</translation>
    </message>
</context>
<context>
    <name>McpHub</name>
    <message>
        <source>没有填写命令或地址</source>
        <translation>No command or address given</translation>
    </message>
    <message>
        <source>工具服务器已关闭</source>
        <translation>The tool server was turned off</translation>
    </message>
    <message>
        <source>工具服务器的设置已更改，正在重新连接</source>
        <translation>The tool server&apos;s settings changed; reconnecting</translation>
    </message>
    <message>
        <source>工具服务器已移除</source>
        <translation>The tool server was removed</translation>
    </message>
    <message>
        <source>正在重新连接工具服务器</source>
        <translation>Reconnecting to the tool server</translation>
    </message>
    <message>
        <source>工具服务器「%1」已不可用</source>
        <translation>Tool server “%1” is no longer available</translation>
    </message>
    <message>
        <source>用户已停止</source>
        <translation>Stopped by the user</translation>
    </message>
</context>
<context>
    <name>McpImport</name>
    <message>
        <source>服务器「%1」的“%2”应为%3</source>
        <translation>In server “%1”, “%2” must be %3</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>text</translation>
    </message>
    <message>
        <source>一个列表</source>
        <translation>a list</translation>
    </message>
    <message>
        <source>由文字组成的列表</source>
        <translation>a list of text</translation>
    </message>
    <message>
        <source>一个对象，其中的值都是文字</source>
        <translation>an object whose values are all text</translation>
    </message>
    <message>
        <source>&quot;ask&quot;、&quot;askOncePerTool&quot; 或 &quot;never&quot;</source>
        <translation>&quot;ask&quot;, &quot;askOncePerTool&quot; or &quot;never&quot;</translation>
    </message>
    <message>
        <source>服务器「%1」既没有“command”也没有“url”</source>
        <translation>Server “%1” has neither “command” nor “url”</translation>
    </message>
    <message>
        <source>不是有效的 JSON：%1（第 %2 个字符附近）</source>
        <translation>Not valid JSON: %1 (near character %2)</translation>
    </message>
    <message>
        <source>应为一个 JSON 对象，例如 {&quot;mcpServers&quot;: {…}}</source>
        <translation>Expected a JSON object, such as {&quot;mcpServers&quot;: {…}}</translation>
    </message>
    <message>
        <source>没有找到任何服务器</source>
        <translation>No servers found</translation>
    </message>
    <message>
        <source>服务器的名称不能为空</source>
        <translation>A server&apos;s name cannot be empty</translation>
    </message>
    <message>
        <source>服务器「%1」应为一个对象，例如 {&quot;command&quot;: …}</source>
        <translation>Server “%1” must be an object, such as {&quot;command&quot;: …}</translation>
    </message>
</context>
<context>
    <name>McpProbe</name>
    <message>
        <source>服务器在 %1 秒内没有完成</source>
        <translation>The server did not finish within %1 seconds</translation>
    </message>
    <message>
        <source>已连接：%1 %2（协议 %3，%4）
</source>
        <translation>Connected: %1 %2 (protocol %3, %4)
</translation>
    </message>
    <message>
        <source>工具（%1 个）：
</source>
        <translation>Tools (%1):
</translation>
    </message>
    <message>
        <source>调用 %1 的结果：
%2
</source>
        <translation>Result of %1:
%2
</translation>
    </message>
    <message>
        <source>工具 %1 报告了错误</source>
        <translation>Tool %1 reported an error</translation>
    </message>
    <message>
        <source>--mcp-probe 的参数有误：%1

</source>
        <translation>Wrong arguments for --mcp-probe: %1

</translation>
    </message>
    <message>
        <source>缺少服务器地址</source>
        <translation>The server address is missing</translation>
    </message>
    <message>
        <source>多余的参数 %1</source>
        <translation>Unexpected argument %1</translation>
    </message>
    <message>
        <source>工具参数不是 JSON 对象：%1</source>
        <translation>The tool arguments are not a JSON object: %1</translation>
    </message>
</context>
<context>
    <name>McpStdioTransport</name>
    <message>
        <source>找不到工作目录「%1」</source>
        <translation>Working folder “%1” not found</translation>
    </message>
    <message>
        <source>找不到命令「%1」</source>
        <translation>Command “%1” not found</translation>
    </message>
    <message>
        <source>无法启动「%1」：%2</source>
        <translation>Cannot start “%1”: %2</translation>
    </message>
    <message>
        <source>服务器进程意外终止</source>
        <translation>The server process ended unexpectedly</translation>
    </message>
    <message>
        <source>服务器进程已退出（退出码 %1）</source>
        <translation>The server process exited (exit code %1)</translation>
    </message>
    <message>
        <source>：%1</source>
        <translation>: %1</translation>
    </message>
</context>
<context>
    <name>MessageList</name>
    <message>
        <source>滚动到最新消息</source>
        <translation>Scroll to the latest message</translation>
    </message>
    <message>
        <source>开始对话</source>
        <translation>Start Chatting</translation>
    </message>
    <message>
        <source>先到「设置」填好 API 地址、Key 和模型</source>
        <translation>First enter the API URL, key and model in Settings</translation>
    </message>
    <message>
        <source>当前模型：%1</source>
        <translation>Model: %1</translation>
    </message>
    <message>
        <source>打开设置</source>
        <translation>Open Settings</translation>
    </message>
</context>
<context>
    <name>MessageListModel</name>
    <message>
        <source>输入 %1</source>
        <translation>Input %1</translation>
    </message>
    <message>
        <source>输出 %1</source>
        <translation>Output %1</translation>
    </message>
    <message>
        <source>（其中推理 %1）</source>
        <translation> (%1 reasoning)</translation>
    </message>
</context>
<context>
    <name>MessageRow</name>
    <message>
        <source>%1（文件已丢失）</source>
        <translation>%1 (file missing)</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>重新生成</source>
        <translation>Regenerate</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>保存并重发</source>
        <translation>Save &amp; Resend</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
</context>
<context>
    <name>ModelCatalog</name>
    <message numerus="yes">
        <source>连接成功，服务器列出了 %n 个模型。</source>
        <translation>
            <numerusform>Connected. The server lists %n model.</numerusform>
            <numerusform>Connected. The server lists %n models.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1：%2</source>
        <comment>what failed: the gateway&apos;s words</comment>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>ModelListRequest</name>
    <message>
        <source>服务器返回的模型列表过大。</source>
        <translation>The server&apos;s model list is too large.</translation>
    </message>
    <message>
        <source>服务器的回应不是模型列表，请检查 API 地址。</source>
        <translation>The server&apos;s answer is not a model list. Check the API URL.</translation>
    </message>
    <message>
        <source>服务器没有列出任何模型。</source>
        <translation>The server lists no models.</translation>
    </message>
</context>
<context>
    <name>PendingAttachments</name>
    <message>
        <source>「%1」不是本机文件，无法附加。</source>
        <translation>“%1” is not a local file, so it cannot be attached.</translation>
    </message>
    <message>
        <source>截图</source>
        <translation>Screenshot</translation>
    </message>
</context>
<context>
    <name>ReasoningBlock</name>
    <message>
        <source>正在思考…（%1 秒）</source>
        <translation>Thinking… (%1 s)</translation>
    </message>
    <message>
        <source>正在思考…</source>
        <translation>Thinking…</translation>
    </message>
    <message>
        <source>已深度思考（%1 秒）</source>
        <translation>Thought for %1 s</translation>
    </message>
    <message>
        <source>已深度思考</source>
        <translation>Thoughts</translation>
    </message>
</context>
<context>
    <name>ReplyStream</name>
    <message>
        <source>工具服务器还没准备好，这次没有用上：%1</source>
        <translation>Tool servers not ready yet, not used this time: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message numerus="yes">
        <source>%n 个附件文件已丢失，没有随消息发送：%1</source>
        <translation>
            <numerusform>%n attachment is missing and was not sent: %1</numerusform>
            <numerusform>%n attachments are missing and were not sent: %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SaveErrorBar</name>
    <message>
        <source>无法保存对话：</source>
        <translation>Cannot save the chats: </translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>网关</source>
        <translation>Gateways</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>添加网关</source>
        <translation>Add Gateway</translation>
    </message>
    <message>
        <source>删除网关</source>
        <translation>Delete Gateway</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Move Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Move Down</translation>
    </message>
    <message>
        <source>接口</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>新对话默认使用</source>
        <translation>Default for new chats</translation>
    </message>
    <message>
        <source>设为默认</source>
        <translation>Set as Default</translation>
    </message>
    <message>
        <source>测试连接</source>
        <translation>Test Connection</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>API 地址</source>
        <translation>API URL</translation>
    </message>
    <message>
        <source>API Key</source>
        <translation>API key</translation>
    </message>
    <message>
        <source>本机服务，不需要</source>
        <translation>Not needed for a local service</translation>
    </message>
    <message>
        <source>不需要 API Key（本机服务）</source>
        <translation>No API key needed (local service)</translation>
    </message>
    <message>
        <source>默认模型</source>
        <translation>Default model</translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>更多模型</source>
        <translation>More models</translation>
    </message>
    <message>
        <source>模型</source>
        <translation>Models</translation>
    </message>
    <message>
        <source>填了之后，聊天输入框上方会出现模型切换按钮。</source>
        <translation>With more models, a model switch appears above the message field.</translation>
    </message>
    <message>
        <source>第一个是这个网关上新对话的默认模型。</source>
        <translation>The first one is the default for new chats on this gateway.</translation>
    </message>
    <message>
        <source>从服务器获取</source>
        <translation>Fetch from Server</translation>
    </message>
    <message>
        <source>还没有默认模型：在列表里选一个「设为默认」。</source>
        <translation>No default model yet: choose Set as Default on one in the list.</translation>
    </message>
    <message>
        <source>默认模型「%1」不在服务器的列表里，可以在列表里另选一个「设为默认」。</source>
        <translation>The default model “%1” is not on the server&apos;s list; choose Set as Default on another.</translation>
    </message>
    <message>
        <source>筛选模型</source>
        <translation>Filter models</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>All</translation>
    </message>
    <message>
        <source>全不选</source>
        <translation>None</translation>
    </message>
    <message>
        <source>%1（已在列表中）</source>
        <translation>%1 (listed)</translation>
    </message>
    <message>
        <source>没有匹配的模型</source>
        <translation>No matching models</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>添加 %1 个</source>
        <translation>Add %1</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>每行一个，可在对话里随时切换</source>
        <translation>One per line; switch any time in a chat</translation>
    </message>
    <message>
        <source>系统提示词（可选）</source>
        <translation>System prompt (optional)</translation>
    </message>
    <message>
        <source>所有网关共用。</source>
        <translation>Shared by all gateways.</translation>
    </message>
    <message>
        <source>System Prompt</source>
        <translation>System Prompt</translation>
    </message>
    <message>
        <source>例如：你是一个简洁的中文助手。</source>
        <translation>For example: You are a concise assistant.</translation>
    </message>
    <message>
        <source>地址填到 /v1 即可，发送时自动拼 /chat/completions。兼容任何 OpenAI 格式的网关。</source>
        <translation>Enter the URL up to /v1; /chat/completions is added when sending. Works with any OpenAI-compatible gateway.</translation>
    </message>
    <message>
        <source>改动会立即保存。</source>
        <translation>Changes are saved right away.</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>%1（本机已检测到）</source>
        <translation>%1 (found on this computer)</translation>
    </message>
    <message>
        <source>删除网关「%1」？</source>
        <translation>Delete the gateway “%1”?</translation>
    </message>
    <message numerus="yes">
        <source>有 %n 个对话在用这个网关。它们会留着原来的模型名，发送前需要换一个模型。</source>
        <translation>
            <numerusform>%n chat uses this gateway. It keeps its model name and needs another model before it can send.</numerusform>
            <numerusform>%n chats use this gateway. They keep their model names and need another model before they can send.</numerusform>
        </translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>服务器</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>命令以你的账户权限运行，能读写你能读写的一切；HTTP 服务器会收到模型给的参数。只添加你信任的服务器。</source>
        <translation>Commands run with your account&apos;s rights and can read and write everything you can; HTTP servers receive the arguments the model gives. Add only servers you trust.</translation>
    </message>
    <message>
        <source>重新连接</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>工作目录</source>
        <translation>Working folder</translation>
    </message>
    <message>
        <source>主文件夹</source>
        <translation>Home folder</translation>
    </message>
    <message>
        <source>环境变量（每行一个 名称=值）</source>
        <translation>Environment variables (one NAME=value per line)</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>请求头（每行一个 名称: 值）</source>
        <translation>Headers (one Name: value per line)</translation>
    </message>
    <message>
        <source>调用前</source>
        <translation>Before a call</translation>
    </message>
    <message>
        <source>“本对话内都允许”只在本次运行中有效。</source>
        <translation>“Allow for This Chat” lasts until Corvane quits.</translation>
    </message>
    <message>
        <source>每次都问我</source>
        <translation>Ask me every time</translation>
    </message>
    <message>
        <source>每个工具问一次</source>
        <translation>Ask once per tool</translation>
    </message>
    <message>
        <source>直接运行，不问</source>
        <translation>Run without asking</translation>
    </message>
    <message>
        <source>工具（%1）</source>
        <translation>Tools (%1)</translation>
    </message>
    <message>
        <source>关掉的工具不会提供给模型。</source>
        <translation>Tools switched off are not offered to the model.</translation>
    </message>
    <message>
        <source>这个服务器没有工具。</source>
        <translation>This server has no tools.</translation>
    </message>
    <message>
        <source>连接后在这里列出工具。</source>
        <translation>Tools are listed here once connected.</translation>
    </message>
    <message>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>让模型调用 MCP 服务器的工具：读文件、搜索、查数据库…</source>
        <translation>Let the model use the tools of MCP servers: read files, search, query databases…</translation>
    </message>
    <message>
        <source>添加工具服务器</source>
        <translation>Add Tool Server</translation>
    </message>
    <message>
        <source>删除工具服务器</source>
        <translation>Remove Tool Server</translation>
    </message>
    <message>
        <source>用命令启动的服务器</source>
        <translation>Server Started by a Command</translation>
    </message>
    <message>
        <source>HTTP 服务器</source>
        <translation>HTTP Server</translation>
    </message>
    <message>
        <source>导入 JSON…</source>
        <translation>Import JSON…</translation>
    </message>
    <message>
        <source>导入 JSON</source>
        <translation>Import JSON</translation>
    </message>
    <message>
        <source>粘贴服务器说明里的配置，例如 {&quot;mcpServers&quot;: {…}}。同名的服务器会被替换。</source>
        <translation>Paste the configuration from a server&apos;s instructions, such as {&quot;mcpServers&quot;: {…}}. Servers with the same name are replaced.</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>删除工具服务器「%1」？</source>
        <translation>Remove tool server “%1”?</translation>
    </message>
    <message>
        <source>模型将不能再调用它的工具。</source>
        <translation>The model will no longer be able to use its tools.</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>SidebarView</name>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>搜索对话</source>
        <translation>Search chats</translation>
    </message>
    <message>
        <source>新建对话</source>
        <translation>New Chat</translation>
    </message>
    <message>
        <source>没有找到匹配的对话</source>
        <translation>No matching chats</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename…</translation>
    </message>
    <message>
        <source>导出为 Markdown…</source>
        <translation>Export as Markdown…</translation>
    </message>
    <message>
        <source>复制整个对话</source>
        <translation>Copy Whole Chat</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>重命名对话</source>
        <translation>Rename Chat</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Corvane 已经在使用“%1”，但它没有回应。</source>
        <translation>Corvane is already using “%1” but does not respond.</translation>
    </message>
</context>
<context>
    <name>Store</name>
    <message>
        <source>数据文件里有几项网关设置无法识别，已跳过；原文件会在下次保存前另存一份。</source>
        <translation>Some gateway settings in the data file were not recognised and were skipped; the original file is kept as a copy before the next save.</translation>
    </message>
</context>
<context>
    <name>Stored</name>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>新对话</source>
        <translation>New Chat</translation>
    </message>
    <message>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>用户</source>
        <translation>User</translation>
    </message>
    <message>
        <source>助手</source>
        <translation>Assistant</translation>
    </message>
    <message>
        <source>系统</source>
        <translation>System</translation>
    </message>
    <message>
        <source>思考过程</source>
        <translation>Reasoning</translation>
    </message>
    <message>
        <source>（恢复）</source>
        <translation> (restored)</translation>
    </message>
    <message>
        <source>无响应</source>
        <translation>No response</translation>
    </message>
    <message>
        <source>无法连接到服务器</source>
        <translation>Cannot connect to the server</translation>
    </message>
    <message>
        <source>服务器中途断开了连接</source>
        <translation>The server closed the connection</translation>
    </message>
    <message>
        <source>找不到服务器，请检查 API 地址</source>
        <translation>Server not found; check the API URL</translation>
    </message>
    <message>
        <source>连接服务器超时</source>
        <translation>Connecting to the server timed out</translation>
    </message>
    <message>
        <source>连接被中止</source>
        <translation>The connection was aborted</translation>
    </message>
    <message>
        <source>安全连接失败，服务器证书无效或不受信任</source>
        <translation>Secure connection failed: the server&apos;s certificate is invalid or not trusted</translation>
    </message>
    <message>
        <source>网络不可用，请检查网络连接</source>
        <translation>No network; check your connection</translation>
    </message>
    <message>
        <source>重定向次数过多</source>
        <translation>Too many redirects</translation>
    </message>
    <message>
        <source>服务器重定向到了不安全的地址</source>
        <translation>The server redirected to an insecure address</translation>
    </message>
    <message>
        <source>代理服务器拒绝连接，请检查代理设置</source>
        <translation>The proxy refused the connection; check the proxy settings</translation>
    </message>
    <message>
        <source>代理服务器中途断开了连接</source>
        <translation>The proxy closed the connection</translation>
    </message>
    <message>
        <source>找不到代理服务器，请检查代理设置</source>
        <translation>Proxy not found; check the proxy settings</translation>
    </message>
    <message>
        <source>连接代理服务器超时</source>
        <translation>Connecting to the proxy timed out</translation>
    </message>
    <message>
        <source>代理服务器要求身份验证，请检查代理的用户名和密码</source>
        <translation>The proxy requires a login; check its user name and password</translation>
    </message>
    <message>
        <source>代理服务器出错，请检查代理设置</source>
        <translation>Proxy error; check the proxy settings</translation>
    </message>
    <message>
        <source>API 地址应以 http:// 或 https:// 开头</source>
        <translation>The API URL must start with http:// or https://</translation>
    </message>
    <message>
        <source>服务器的回应无法识别</source>
        <translation>The server&apos;s answer was not understood</translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>网络错误：%1（%2）</source>
        <translation>Network error: %1 (%2)</translation>
    </message>
    <message>
        <source>请求失败（HTTP %1）</source>
        <translation>Request failed (HTTP %1)</translation>
    </message>
    <message>
        <source>请求失败（HTTP %1）：
%2</source>
        <translation>Request failed (HTTP %1):
%2</translation>
    </message>
    <message>
        <source>API 地址无效，请到「设置」检查。</source>
        <translation>The API URL is not valid. Check it in Settings.</translation>
    </message>
    <message>
        <source>还没填 API Key，请到「设置」里填写。</source>
        <translation>No API key yet. Enter one in Settings.</translation>
    </message>
    <message>
        <source>API Key 含有换行或控制字符，请到「设置」重新填写。</source>
        <translation>The API key contains a line break or control character. Enter it again in Settings.</translation>
    </message>
    <message>
        <source>请求超时：服务器长时间没有回应，请稍后再试。</source>
        <translation>Request timed out: the server did not answer for a long time. Try again later.</translation>
    </message>
    <message>
        <source>请求已取消。</source>
        <translation>Request cancelled.</translation>
    </message>
    <message>
        <source>请求失败（服务器报错）</source>
        <translation>Request failed (server error)</translation>
    </message>
    <message>
        <source>请求失败（服务器报错）：
%1</source>
        <translation>Request failed (server error):
%1</translation>
    </message>
    <message>
        <source>模型没有返回内容，请重试或换一个模型。</source>
        <translation>The model returned nothing. Retry, or choose another model.</translation>
    </message>
    <message>
        <source>回复没有收完：最后一段数据在中途断开了。</source>
        <translation>The reply is incomplete: the connection dropped before its end.</translation>
    </message>
    <message>
        <source>这个对话所用的网关已被删除，请在输入框上方的模型菜单里换一个模型。</source>
        <translation>This chat&apos;s gateway was deleted. Choose another model in the menu above the message field.</translation>
    </message>
    <message>
        <source>截图 %1</source>
        <translation>Screenshot %1</translation>
    </message>
    <message>
        <source>文件「%1」（从 PDF 提取的文字）：</source>
        <translation>File “%1” (text extracted from PDF):</translation>
    </message>
    <message>
        <source>文件「%1」：</source>
        <translation>File “%1”:</translation>
    </message>
    <message>
        <source>--- 第 %1 页 ---</source>
        <translation>--- Page %1 ---</translation>
    </message>
    <message>
        <source>用户拒绝了这次调用。</source>
        <translation>The user refused this call.</translation>
    </message>
    <message>
        <source>用户已停止</source>
        <translation>Stopped by the user</translation>
    </message>
    <message>
        <source>没有名为 %1 的工具。</source>
        <translation>There is no tool named %1.</translation>
    </message>
    <message>
        <source>参数不是一个 JSON 对象。</source>
        <translation>The arguments are not a JSON object.</translation>
    </message>
    <message>
        <source>已连续调用工具 16 轮，已停止</source>
        <translation>Stopped after 16 rounds of tool calls in a row</translation>
    </message>
</context>
<context>
    <name>TextContextMenu</name>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>剪切</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>粘贴</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
</context>
<context>
    <name>ToolCallsView</name>
    <message>
        <source>调用 %1 · %2</source>
        <translation>Call %1 · %2</translation>
    </message>
    <message>
        <source>调用 %1</source>
        <translation>Call %1</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Arguments</translation>
    </message>
    <message>
        <source>出错</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>模型想调用 %1 的工具 %2</source>
        <translation>The model wants to use %2 from %1</translation>
    </message>
    <message>
        <source>允许</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>本对话内都允许</source>
        <translation>Allow for This Chat</translation>
    </message>
    <message>
        <source>拒绝</source>
        <translation>Deny</translation>
    </message>
</context>
<context>
    <name>ToolServerListModel</name>
    <message>
        <source>第 %1 行应写成「名称%2值」。</source>
        <translation>Line %1 should read “name%2value”.</translation>
    </message>
    <message>
        <source>已停用</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>未启动</source>
        <translation>Not started</translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message numerus="yes">
        <source>已连接 · %n 个工具</source>
        <translation>
            <numerusform>Connected · %n tool</numerusform>
            <numerusform>Connected · %n tools</numerusform>
        </translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>连接失败：%1</source>
        <translation>Connection failed: %1</translation>
    </message>
    <message>
        <source>名称不能为空。</source>
        <translation>The name cannot be empty.</translation>
    </message>
    <message>
        <source>已有名为「%1」的服务器。</source>
        <translation>There is already a server named “%1”.</translation>
    </message>
    <message>
        <source>新服务器</source>
        <translation>New Server</translation>
    </message>
    <message>
        <source>没有找到服务器。</source>
        <translation>No servers found.</translation>
    </message>
</context>
<context>
    <name>TypingDots</name>
    <message>
        <source>正在输入</source>
        <translation>Typing</translation>
    </message>
</context>
</TS>
