<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
    <context>
        <name>ChatboxClient</name>
        <message>
            <source>Chatbox 需要重新启动才能使用新模型。现在重新启动 Chatbox 吗？
正在生成的回答会被中断；选择“否”则在下次点击“立即体验”时使用新模型。</source>
            <translation>Chatbox must restart to use the new model. Restart Chatbox now?
An answer being written would be cut off; choose No to use the new model the next time you click "Try it now".</translation>
        </message>
        <message>
            <source>重新启动 Chatbox</source>
            <translation>Restart Chatbox</translation>
        </message>
        <message>
            <source>无法读取聊天客户端 Chatbox 的设置文件，该文件已保持原样，未作任何修改。请打开 Chatbox，在设置中自行选择模型。</source>
            <translation>Chatbox's settings file could not be read; it was left exactly as it was. Open Chatbox and choose the model in its settings.</translation>
        </message>
    </context>
    <context>
        <name>InstallEngine</name>
        <message>
            <source>要现在下载本机可以运行的 %ls（%ls）吗？</source>
            <translation>Download %ls (%ls), which this computer can run, now?</translation>
        </message>
        <message>
            <source>聊天客户端里它多半也无法回答。仍要打开吗？</source>
            <translation>It will most likely not answer in the chat client either. Open it anyway?</translation>
        </message>
        <message>
            <source>以下内容不是本程序安装的或按您的选择保留，未删除：</source>
            <translation>Not removed, because this program did not install it or you chose to keep it:</translation>
        </message>
        <message>
            <source>卸载完成</source>
            <translation>Uninstalled</translation>
        </message>
        <message>
            <source>卸载未能全部完成</source>
            <translation>Uninstall not fully completed</translation>
        </message>
        <message>
            <source>上次的卸载没有完成。现在完成卸载吗？
选择“否”则保持现状，重新安装或修复后将不再提示。</source>
            <translation>The last uninstall did not finish. Finish it now?
Choose No to leave everything as it is; after an installation or a repair you will not be asked again.</translation>
        </message>
        <message>
            <source>完成卸载</source>
            <translation>Finish uninstall</translation>
        </message>
        <message>
            <source>正在修复或卸载，请等它完成后再操作。</source>
            <translation>A repair or uninstall is running. Please wait until it has finished.</translation>
        </message>
        <message>
            <source>安装位置不可用：请选择一个以完整路径写出、属于您自己且其他用户不能写入的文件夹。</source>
            <translation>This install location cannot be used: choose a folder written as a full path that belongs to you and that other users cannot write to.</translation>
        </message>
        <message>
            <source>DeepSeek安装不存在，不能安装!</source>
            <translation>The DeepSeek install folder does not exist: cannot install!</translation>
        </message>
        <message>
            <source>安装失败</source>
            <translation>Installation failed</translation>
        </message>
        <message>
            <source>网络不畅，关闭软件后重新打开即可!</source>
            <translation>The network is not answering well: close the program and open it again!</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Note</translation>
        </message>
        <message>
            <source>正在连接服务，请稍候...</source>
            <translation>Connecting to the service, please wait...</translation>
        </message>
        <message>
            <source>正在下载安装包，请耐心等待...</source>
            <translation>Downloading the install package, please wait...</translation>
        </message>
        <message>
            <source>正在检查并解压所选的安装包，请稍候...</source>
            <translation>Checking and unpacking the chosen package, please wait...</translation>
        </message>
        <message>
            <source>所选模型约需 %ls，连同安装包、解压文件和安装的程序共约需 %ls 磁盘空间，安装位置只有 %ls 可用。
仍要继续安装吗？</source>
            <translation>The chosen model needs about %ls; with the package, its unpacked files and the programs about %ls of disk space, but the install location has only %ls free.
Install anyway?</translation>
        </message>
        <message>
            <source>磁盘空间不足</source>
            <translation>Not enough disk space</translation>
        </message>
        <message>
            <source>本地安装包：%ls</source>
            <translation>Package file: %ls</translation>
        </message>
        <message>
            <source>已下载 %ls</source>
            <translation>Downloaded %ls</translation>
        </message>
        <message>
            <source>这个模型约需 %ls 磁盘空间，安装位置只有 %ls 可用，下载会中途失败。
</source>
            <translation>This model needs about %ls of disk space, but the install location has only %ls free: the download would fail midway.
</translation>
        </message>
        <message>
            <source>这个模型建议内存 %ls 以上，本机只有 %ls，下载后会运行得很慢或无法运行。
</source>
            <translation>This model wants %ls of RAM or more, this computer has %ls: it would run very slowly or not at all.
</translation>
        </message>
        <message>
            <source>仍要下载吗？</source>
            <translation>Download anyway?</translation>
        </message>
        <message>
            <source>本机内存 %.0f GB，此模型建议 %.0f GB 以上：可以运行。</source>
            <translation>RAM %.0f GB, the model wants %.0f GB+: it runs.</translation>
        </message>
        <message>
            <source>本机内存 %.0f GB，此模型建议 %.0f GB 以上：显卡可以装下整个模型。</source>
            <translation>RAM %.0f GB, the model wants %.0f GB+: the graphics card holds all of it.</translation>
        </message>
        <message>
            <source>本机内存 %.0f GB，此模型建议 %.0f GB 以上：内存不足，运行会很慢或无法运行，建议选择更小的模型。</source>
            <translation>RAM %.0f GB, the model wants %.0f GB+: too little. Pick a smaller model.</translation>
        </message>
    </context>
    <context>
        <name>InstallSteps</name>
        <message>
            <source>已加入 %ls，保留您选择的模型</source>
            <translation>added %ls; the model you chose stays chosen</translation>
        </message>
        <message>
            <source>可选用 %ls（您选择了其他模型）</source>
            <translation>%ls can be chosen (you chose another model)</translation>
        </message>
        <message>
            <source>Chatbox 正在运行，关闭后再修复即可</source>
            <translation>Chatbox is running; close it and repair again</translation>
        </message>
        <message>
            <source>已保留，模型选择已恢复为安装前的设置</source>
            <translation>kept; the model choice is back as it was before the installation</translation>
        </message>
        <message>
            <source>已删除本程序创建的内容，其余保留</source>
            <translation>removed what this program made; the rest kept</translation>
        </message>
        <message>
            <source>不是本程序创建的，保留</source>
            <translation>not made by this program; kept</translation>
        </message>
        <message>
            <source>无法创建安装位置</source>
            <translation>cannot create the install location</translation>
        </message>
        <message>
            <source>%ls 不是本程序创建的，未作改动</source>
            <translation>%ls was not made by this program; left unchanged</translation>
        </message>
        <message>
            <source>已被换成指向别处的链接，未作改动</source>
            <translation>replaced by a link to somewhere else; left unchanged</translation>
        </message>
        <message>
            <source>不是本程序创建的，未作改动</source>
            <translation>not made by this program; left unchanged</translation>
        </message>
        <message>
            <source>使用您自己的设置</source>
            <translation>your own setting is used</translation>
        </message>
        <message>
            <source>未能全部删除：%ls</source>
            <translation>not all removed: %ls</translation>
        </message>
        <message>
            <source>本程序的设置</source>
            <translation>This program's settings</translation>
        </message>
        <message>
            <source>正常</source>
            <translation>fine</translation>
        </message>
        <message>
            <source>未记录安装位置</source>
            <translation>install location not recorded</translation>
        </message>
        <message>
            <source>已记录安装位置</source>
            <translation>install location recorded</translation>
        </message>
        <message>
            <source>无法写入设置</source>
            <translation>settings cannot be written</translation>
        </message>
        <message>
            <source>已删除</source>
            <translation>removed</translation>
        </message>
        <message>
            <source>安装包</source>
            <translation>Install package</translation>
        </message>
        <message>
            <source>已解压</source>
            <translation>unpacked</translation>
        </message>
        <message>
            <source>已保留</source>
            <translation>kept</translation>
        </message>
        <message>
            <source>不在（需要时重新下载）</source>
            <translation>absent (downloaded again when needed)</translation>
        </message>
        <message>
            <source>已下载并解压</source>
            <translation>downloaded and unpacked</translation>
        </message>
        <message>
            <source>未能删除：%ls</source>
            <translation>not removed: %ls</translation>
        </message>
        <message>
            <source>模型存放目录</source>
            <translation>Model folder</translation>
        </message>
        <message>
            <source>不存在</source>
            <translation>missing</translation>
        </message>
        <message>
            <source>不属于当前用户或可被他人修改</source>
            <translation>not yours, or others may change it</translation>
        </message>
        <message>
            <source>无法创建</source>
            <translation>cannot be created</translation>
        </message>
        <message>
            <source>环境变量 OLLAMA_MODELS</source>
            <translation>Environment variable OLLAMA_MODELS</translation>
        </message>
        <message>
            <source>指向别处</source>
            <translation>points elsewhere</translation>
        </message>
        <message>
            <source>未设置</source>
            <translation>not set</translation>
        </message>
        <message>
            <source>已设置</source>
            <translation>set</translation>
        </message>
        <message>
            <source>无法设置</source>
            <translation>cannot be set</translation>
        </message>
        <message>
            <source>不是本程序设置的，保留</source>
            <translation>not set by this program, kept</translation>
        </message>
        <message>
            <source>模型保留，保留</source>
            <translation>models kept, kept</translation>
        </message>
        <message>
            <source>无法删除</source>
            <translation>cannot be removed</translation>
        </message>
        <message>
            <source>运行程序 Ollama</source>
            <translation>Runner Ollama</translation>
        </message>
        <message>
            <source>无法运行</source>
            <translation>does not run</translation>
        </message>
        <message>
            <source>缺少安装程序</source>
            <translation>setup program missing</translation>
        </message>
        <message>
            <source>已重新安装</source>
            <translation>installed again</translation>
        </message>
        <message>
            <source>安装后仍无法运行</source>
            <translation>still does not run after installing</translation>
        </message>
        <message>
            <source>无法结束正在运行的 Ollama</source>
            <translation>the running Ollama cannot be stopped</translation>
        </message>
        <message>
            <source>模型服务</source>
            <translation>Model service</translation>
        </message>
        <message>
            <source>正在运行：%ls</source>
            <translation>running: %ls</translation>
        </message>
        <message>
            <source>未运行</source>
            <translation>not running</translation>
        </message>
        <message>
            <source>已启动：%ls</source>
            <translation>started: %ls</translation>
        </message>
        <message>
            <source>缺少 Ollama，无法启动</source>
            <translation>Ollama missing, cannot start</translation>
        </message>
        <message>
            <source>已启动但没有响应</source>
            <translation>started but not answering</translation>
        </message>
        <message>
            <source>已停止</source>
            <translation>stopped</translation>
        </message>
        <message>
            <source>聊天客户端 Chatbox</source>
            <translation>Chat client Chatbox</translation>
        </message>
        <message>
            <source>安装失败</source>
            <translation>Installation failed</translation>
        </message>
        <message>
            <source>无法结束正在运行的 Chatbox</source>
            <translation>the running Chatbox cannot be stopped</translation>
        </message>
        <message>
            <source>Chatbox 的模型设置</source>
            <translation>Chatbox's model setting</translation>
        </message>
        <message>
            <source>模型服务未运行，无法检查</source>
            <translation>model service not running, cannot check</translation>
        </message>
        <message>
            <source>使用 %ls</source>
            <translation>uses %ls</translation>
        </message>
        <message>
            <source>还没有下载模型</source>
            <translation>No model downloaded yet</translation>
        </message>
        <message>
            <source>未指向已下载的模型</source>
            <translation>not set to a downloaded model</translation>
        </message>
        <message>
            <source>已改为使用 %ls</source>
            <translation>now uses %ls</translation>
        </message>
        <message>
            <source>设置文件无法读取，已保持原样</source>
            <translation>settings file unreadable, left as it was</translation>
        </message>
        <message>
            <source>无法写入设置文件</source>
            <translation>settings file cannot be written</translation>
        </message>
        <message>
            <source>开机自动启动模型服务</source>
            <translation>Start the model service at login</translation>
        </message>
        <message>
            <source>已登记</source>
            <translation>registered</translation>
        </message>
        <message>
            <source>未登记</source>
            <translation>not registered</translation>
        </message>
        <message>
            <source>无法登记</source>
            <translation>cannot be registered</translation>
        </message>
        <message>
            <source>已取消</source>
            <translation>cancelled</translation>
        </message>
        <message>
            <source>未知的步骤</source>
            <translation>unknown step</translation>
        </message>
        <message>
            <source>%ls：%ls</source>
            <translation>%ls: %ls</translation>
        </message>
        <message>
            <source>保留（下次启动时继续卸载）</source>
            <translation>kept (the uninstall goes on at the next start)</translation>
        </message>
    </context>
    <context>
        <name>LocalPackage</name>
        <message>
            <source>找不到所选的安装包“%ls”，请检查路径后重新选择。</source>
            <translation>The chosen package “%ls” is not there: check the path and choose again.</translation>
        </message>
        <message>
            <source>“%ls”不是一个文件，请选择安装包（.zip 文件）。</source>
            <translation>“%ls” is not a file: choose the package (.zip file).</translation>
        </message>
        <message>
            <source>没有权限读取所选的安装包“%ls”，请换一个位置的文件。</source>
            <translation>No permission to read the chosen package “%ls”: use a file elsewhere.</translation>
        </message>
    </context>
    <context>
        <name>MainDlg</name>
        <message>
            <source>请选择一个目录</source>
            <translation>Choose a folder</translation>
        </message>
    </context>
    <context>
        <name>ManageDialogs</name>
        <message>
            <source>将删除 Ollama、Chatbox 及本程序的设置，共释放约 %1。</source>
            <translation>Removes Ollama, Chatbox and this program's settings, freeing about %1.</translation>
        </message>
        <message>
            <source>将删除 Ollama、已下载的模型、Chatbox 及本程序的设置，共释放约 %1。</source>
            <translation>Removes Ollama, the downloaded models, Chatbox and this program's settings, freeing about %1.</translation>
        </message>
        <message>
            <source>全部卸载</source>
            <translation>Uninstall all</translation>
        </message>
        <message>
            <source>保留已下载的模型</source>
            <translation>Keep the downloaded models</translation>
        </message>
        <message>
            <source>同时删除 Chatbox 的设置和聊天记录</source>
            <translation>Also remove Chatbox's settings and chat history</translation>
        </message>
        <message>
            <source>取消</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>卸载</source>
            <translation>Uninstall</translation>
        </message>
        <message>
            <source>确定</source>
            <translation>OK</translation>
        </message>
    </context>
    <context>
        <name>ManageEngine</name>
        <message>
            <source>模型 %ls 没有删除：本程序安装的模型服务未能启动。</source>
            <translation>Model %ls was not removed: this program's model service could not be started.</translation>
        </message>
        <message>
            <source>模型 %ls 没有删除：模型服务的地址上运行的是其他程序，不是本程序安装的 Ollama。</source>
            <translation>Model %ls was not removed: another program, not the Ollama this program installed, runs at the model service's address.</translation>
        </message>
        <message>
            <source>正在安装或下载模型，请等它完成后再操作。</source>
            <translation>Installing or downloading a model: please wait until it is done.</translation>
        </message>
        <message>
            <source>提示</source>
            <translation>Note</translation>
        </message>
        <message>
            <source>操作未能完成，请重试。</source>
            <translation>That could not be finished; please try again.</translation>
        </message>
        <message>
            <source>确定删除模型 %ls 吗？
将释放约 %ls 磁盘空间，之后需要时可以重新下载。</source>
            <translation>Remove the model %ls?
This frees about %ls of disk space; you can download it again when needed.</translation>
        </message>
        <message>
            <source>删除模型</source>
            <translation>Remove model</translation>
        </message>
        <message>
            <source>正在删除模型 %ls…</source>
            <translation>Removing the model %ls…</translation>
        </message>
        <message>
            <source>模型 %ls 未能删除：模型服务没有响应或已没有这个模型。</source>
            <translation>The model %ls was not removed: the model service did not answer or no longer has it.</translation>
        </message>
        <message>
            <source>正在检查并修复…</source>
            <translation>Checking and repairing…</translation>
        </message>
        <message>
            <source>修复完成</source>
            <translation>Repair finished</translation>
        </message>
        <message>
            <source>修复未能全部完成</source>
            <translation>Repair not fully finished</translation>
        </message>
        <message>
            <source>正在卸载…</source>
            <translation>Uninstalling…</translation>
        </message>
        <message>
            <source>以下内容不是本程序安装的或按您的选择保留，未删除：</source>
            <translation>Not installed by this program, or kept as you chose, so not removed:</translation>
        </message>
        <message>
            <source>卸载完成</source>
            <translation>Uninstalled</translation>
        </message>
        <message>
            <source>卸载未能全部完成</source>
            <translation>Uninstall not fully finished</translation>
        </message>
        <message>
            <source>正在更新到 %ls…</source>
            <translation>Updating to %ls…</translation>
        </message>
        <message>
            <source>更新需要关闭正在运行的 Chatbox，更新后会重新打开。现在关闭吗？</source>
            <translation>The update must close the running Chatbox and opens it again afterwards. Close it now?</translation>
        </message>
        <message>
            <source>更新</source>
            <translation>Update</translation>
        </message>
    </context>
    <context>
        <name>ManagePage</name>
        <message>
            <source>管理已安装的内容</source>
            <translation>Manage what is installed</translation>
        </message>
        <message>
            <source>修复</source>
            <translation>Repair</translation>
        </message>
        <message>
            <source>检查每一部分，只补回缺少的</source>
            <translation>Checks every part and restores only what is missing</translation>
        </message>
        <message>
            <source>全部卸载</source>
            <translation>Uninstall all</translation>
        </message>
        <message>
            <source>版本 %1</source>
            <translation>version %1</translation>
        </message>
        <message>
            <source>程序缺失</source>
            <translation>program missing</translation>
        </message>
        <message>
            <source>运行程序 Ollama</source>
            <translation>Runner Ollama</translation>
        </message>
        <message>
            <source>模型存放目录</source>
            <translation>Model folder</translation>
        </message>
        <message>
            <source>聊天客户端 Chatbox</source>
            <translation>Chat client Chatbox</translation>
        </message>
        <message>
            <source>安装包</source>
            <translation>Install package</translation>
        </message>
        <message>
            <source>本程序的设置</source>
            <translation>This program's settings</translation>
        </message>
        <message>
            <source>本程序的工作目录</source>
            <translation>This program's work folder</translation>
        </message>
        <message>
            <source>共占用 %1</source>
            <translation>Using %1 in all</translation>
        </message>
        <message>
            <source>正在统计占用的空间…</source>
            <translation>Counting the space used…</translation>
        </message>
        <message>
            <source>未安装</source>
            <translation>not installed</translation>
        </message>
        <message>
            <source>正在统计…</source>
            <translation>counting…</translation>
        </message>
        <message>
            <source>还没有下载模型</source>
            <translation>No model downloaded yet</translation>
        </message>
        <message>
            <source>模型服务未运行，无法列出模型</source>
            <translation>The model service is not running: models cannot be listed</translation>
        </message>
        <message>
            <source>Chatbox 正在使用</source>
            <translation>used by Chatbox</translation>
        </message>
        <message>
            <source>删除</source>
            <translation>Remove</translation>
        </message>
        <message>
            <source>删除模型 %1</source>
            <translation>Remove the model %1</translation>
        </message>
        <message>
            <source>更新</source>
            <translation>Update</translation>
        </message>
        <message>
            <source>更新 Ollama 和 Chatbox 到版本 %1，模型和聊天记录保持不变</source>
            <translation>Update Ollama and Chatbox to version %1; the models and chats stay as they are</translation>
        </message>
    </context>
    <context>
        <name>ModelFit</name>
        <message>
            <source>显卡 %ls</source>
            <translation>GPU %ls</translation>
        </message>
        <message>
            <source>显卡 %ls %.0f GB</source>
            <translation>GPU %ls %.0f GB</translation>
        </message>
        <message>
            <source>%ls：可用显卡加速</source>
            <translation>%ls: GPU acceleration</translation>
        </message>
        <message>
            <source>%ls 显存不足，将使用 CPU 运行，速度较慢</source>
            <translation>%ls too small: runs on the CPU, slower</translation>
        </message>
        <message>
            <source>将使用 CPU 运行，速度较慢</source>
            <translation>Runs on the CPU, slower</translation>
        </message>
        <message>
            <source>%ls：显存不足</source>
            <translation>%ls: too little GPU memory</translation>
        </message>
        <message>
            <source>显卡可运行</source>
            <translation>fits the GPU</translation>
        </message>
        <message>
            <source>仅内存可运行</source>
            <translation>RAM only</translation>
        </message>
        <message>
            <source>内存不足</source>
            <translation>too large</translation>
        </message>
    </context>
    <context>
        <name>PackageDialog</name>
        <message>
            <source>请选择安装包</source>
            <translation>Choose the install package</translation>
        </message>
        <message>
            <source>安装包 (*.zip);;所有文件 (*)</source>
            <translation>Install package (*.zip);;All files (*)</translation>
        </message>
    </context>
    <context>
        <name>PackageOutcome</name>
        <message>
            <source>%d 个下载地址都试过了：%ls</source>
            <translation>All %d download addresses were tried: %ls</translation>
        </message>
        <message>
            <source>连接不上服务器，请检查网络连接后再点击一次。</source>
            <translation>Cannot reach the server: check the network, then click again.</translation>
        </message>
        <message>
            <source>服务器暂时出错（错误 %ld），请过几分钟再点击一次。</source>
            <translation>Server error (%ld): click again in a few minutes.</translation>
        </message>
        <message>
            <source>服务器返回的内容无法识别，请过几分钟再点击一次。</source>
            <translation>The server's answer was not understood: click again in a few minutes.</translation>
        </message>
        <message>
            <source>服务器没有提供安装包，请稍后再试；如果一直这样，请联系客服。</source>
            <translation>The server offers no package: try later; if it stays so, contact support.</translation>
        </message>
        <message>
            <source>已取消安装，随时可以再次点击安装。</source>
            <translation>Installation cancelled: click install again any time.</translation>
        </message>
        <message>
            <source>安装包下载中断（已下载 %ls，共 %ls），请检查网络后再点击安装。</source>
            <translation>Download broke off (%ls of %ls): check the network, then click install.</translation>
        </message>
        <message>
            <source>安装包下载中断（已下载 %ls），请检查网络后再点击安装。</source>
            <translation>Download broke off (%ls done): check the network, then click install.</translation>
        </message>
        <message>
            <source>服务器没有给出安装包，请过几分钟再点击安装；如果一直这样，请联系客服。</source>
            <translation>The server gave no package: click install in a few minutes; if it stays so, contact support.</translation>
        </message>
        <message>
            <source>安装包已损坏，已删除，请再次点击安装重新下载。</source>
            <translation>The package was damaged and is deleted: click install to download again.</translation>
        </message>
        <message>
            <source>磁盘空间不足：需要 %ls，只剩 %ls。请清理磁盘或换个安装位置后再安装。</source>
            <translation>Not enough space: needs %ls, only %ls free. Free some space or pick another folder.</translation>
        </message>
        <message>
            <source>安装位置无法写入，请换一个安装位置后再点击安装。</source>
            <translation>The install folder cannot be written: pick another, then click install.</translation>
        </message>
        <message>
            <source>安装包无法保存到本机的用户数据文件夹，请检查它的权限后再点击安装。</source>
            <translation>The package cannot be saved in your data folder: check its permissions, then click install.</translation>
        </message>
        <message>
            <source>安装时程序出错，请再次点击安装；如果仍然不行，请联系客服。</source>
            <translation>The installation went wrong: click install again; if it fails again, contact support.</translation>
        </message>
        <message>
            <source>所选的安装包无法读取（文件不存在或没有权限），请重新选择。</source>
            <translation>The chosen package cannot be read (missing or no permission): choose again.</translation>
        </message>
        <message>
            <source>所选文件不是 zip 格式的安装包，请重新选择。</source>
            <translation>The chosen file is not a zip package: choose again.</translation>
        </message>
        <message>
            <source>所选的安装包已损坏，无法完整解压，请换一个安装包。</source>
            <translation>The chosen package is damaged and cannot be unpacked: choose another.</translation>
        </message>
        <message>
            <source>所选的安装包里缺少安装程序，不是本软件的安装包，请换一个。</source>
            <translation>The chosen zip has no setup programs: not this program's package, choose another.</translation>
        </message>
        <message>
            <source>所选的安装包与服务器公布的版本不一致（校验值不符），请换一个或改为在线下载。</source>
            <translation>The chosen package differs from the published one (checksum): choose another or download.</translation>
        </message>
    </context>
    <context>
        <name>PackageUpdate</name>
        <message>
            <source>新的 Ollama 没有响应</source>
            <translation>The new Ollama does not respond</translation>
        </message>
        <message>
            <source>新的 Ollama 在加载模型时退出了</source>
            <translation>The new Ollama ended while loading the model</translation>
        </message>
        <message>
            <source>新的 Ollama 没有在限定时间内回答</source>
            <translation>The new Ollama did not answer in time</translation>
        </message>
        <message>
            <source>已是最新版本，无需更新</source>
            <translation>Already the newest version: nothing to update</translation>
        </message>
        <message>
            <source>Chatbox 正在运行，关闭后再更新即可</source>
            <translation>Chatbox is running: close it, then update</translation>
        </message>
        <message>
            <source>正在停止模型服务和 Chatbox…</source>
            <translation>Stopping the model service and Chatbox…</translation>
        </message>
        <message>
            <source>无法结束正在运行的 Ollama 或 Chatbox</source>
            <translation>The running Ollama or Chatbox could not be ended</translation>
        </message>
        <message>
            <source>正在保存旧版本…</source>
            <translation>Setting the old version aside…</translation>
        </message>
        <message>
            <source>无法写入安装记录</source>
            <translation>The installation record could not be written</translation>
        </message>
        <message>
            <source>旧版本无法移到一旁</source>
            <translation>The old version could not be set aside</translation>
        </message>
        <message>
            <source>正在启动模型服务…</source>
            <translation>Starting the model service…</translation>
        </message>
        <message>
            <source>正在让 %ls 回答第一个问题…</source>
            <translation>Asking %ls for its first answer…</translation>
        </message>
        <message>
            <source>旧版本的以下文件未能删除，下次更新时再删除：</source>
            <translation>These files of the old version could not be removed; the next update removes them:</translation>
        </message>
        <message>
            <source>已更新到 %ls：Ollama 和 Chatbox 已替换，模型和聊天记录保持不变</source>
            <translation>Updated to %ls: Ollama and Chatbox were replaced; the models and chats are unchanged</translation>
        </message>
        <message>
            <source>正在恢复旧版本…</source>
            <translation>Putting the old version back…</translation>
        </message>
        <message>
            <source>旧版本未能全部恢复，下次启动时继续</source>
            <translation>The old version could not all be put back; the next start goes on</translation>
        </message>
        <message>
            <source>已恢复旧版本，模型服务正常运行</source>
            <translation>The old version is back and the model service runs</translation>
        </message>
        <message>
            <source>已恢复旧版本，但模型服务没有启动</source>
            <translation>The old version is back, but the model service did not start</translation>
        </message>
        <message>
            <source>上次的更新已完成：%ls</source>
            <translation>The update broken off last time is finished: %ls</translation>
        </message>
        <message>
            <source>上次的更新没有完成</source>
            <translation>The last update was not finished</translation>
        </message>
        <message>
            <source>更新完成</source>
            <translation>Update finished</translation>
        </message>
        <message>
            <source>更新未成功，已恢复旧版本</source>
            <translation>The update did not succeed; the old version is back</translation>
        </message>
        <message>
            <source>更新未能完成</source>
            <translation>The update could not be completed</translation>
        </message>
        <message>
            <source>未更新</source>
            <translation>Not updated</translation>
        </message>
    </context>
    <context>
        <name>ProgressText</name>
        <message>
            <source>%lld 秒</source>
            <translation>%lld s</translation>
        </message>
        <message>
            <source>%lld 分 %lld 秒</source>
            <translation>%lld min %lld s</translation>
        </message>
        <message>
            <source>%lld 小时 %lld 分</source>
            <translation>%lld h %lld min</translation>
        </message>
        <message>
            <source>正在启动模型运行程序，首次约需一分钟…</source>
            <translation>starting the runner (first time ~1 min)…</translation>
        </message>
        <message>
            <source>正在准备下载模型…</source>
            <translation>preparing the model download…</translation>
        </message>
        <message>
            <source>正在获取模型信息…</source>
            <translation>reading the model…</translation>
        </message>
        <message>
            <source>剩余 %ls</source>
            <translation>%ls left</translation>
        </message>
        <message>
            <source>下载停滞，仍在等待网络…</source>
            <translation>stalled, still waiting for the network…</translation>
        </message>
        <message>
            <source>正在校验模型文件…</source>
            <translation>verifying files…</translation>
        </message>
        <message>
            <source>正在写入模型清单…</source>
            <translation>writing manifest…</translation>
        </message>
        <message>
            <source>模型下载完成</source>
            <translation>model downloaded</translation>
        </message>
        <message>
            <source>下载失败：%ls</source>
            <translation>download failed: %ls</translation>
        </message>
        <message>
            <source>正在启动运行程序…</source>
            <translation>starting the runner…</translation>
        </message>
        <message>
            <source>正在准备下载…</source>
            <translation>preparing the download…</translation>
        </message>
        <message>
            <source>下载停滞，等待网络…</source>
            <translation>stalled, waiting…</translation>
        </message>
        <message>
            <source>下载失败</source>
            <translation>download failed</translation>
        </message>
        <message>
            <source>已下载 %ls</source>
            <translation>Downloaded %ls</translation>
        </message>
        <message>
            <source>剩余约 %ls</source>
            <translation>about %ls left</translation>
        </message>
    </context>
    <context>
        <name>PullFailure</name>
        <message>
            <source>安装位置所在的磁盘已满，模型没有下载完成。
请清理出足够的空间，或换一个空间足够的安装位置，然后重新点击安装。</source>
            <translation>The install location's disk is full: the model was not downloaded.
Free enough space or pick a folder with room, then click install again.</translation>
        </message>
        <message>
            <source>模型运行程序没有安装成功，模型无法下载。
请重新点击安装；如果仍然失败，请联系客服。</source>
            <translation>The model runner was not installed: the model cannot be downloaded.
Click install again; if it fails again, contact support.</translation>
        </message>
        <message>
            <source>模型运行程序启动后一直没有响应，模型未能下载。
请重启电脑后再打开本软件点击安装；如果仍然不行，请联系客服。</source>
            <translation>The model runner started but never answered: the model was not downloaded.
Restart the computer, open this program and click install; if it still fails, contact support.</translation>
        </message>
        <message>
            <source>模型仓库中找不到所选的模型，模型无法下载。
请联系客服。</source>
            <translation>The model library has no such model: it cannot be downloaded.
Please contact support.</translation>
        </message>
        <message>
            <source>模型运行程序报告了错误，模型没有下载完成（%ls）。
请重新点击安装；如果仍然失败，请联系客服。</source>
            <translation>The model runner reported an error, the model was not downloaded (%ls).
Click install again; if it fails again, contact support.</translation>
        </message>
        <message>
            <source>网络中断</source>
            <translation>network lost</translation>
        </message>
        <message>
            <source>原因不明</source>
            <translation>unknown cause</translation>
        </message>
        <message>
            <source>磁盘已满</source>
            <translation>disk full</translation>
        </message>
        <message>
            <source>运行程序未安装</source>
            <translation>runner not installed</translation>
        </message>
        <message>
            <source>运行程序没有响应</source>
            <translation>runner not answering</translation>
        </message>
        <message>
            <source>找不到该模型</source>
            <translation>model not found</translation>
        </message>
        <message>
            <source>运行程序出错</source>
            <translation>runner error</translation>
        </message>
        <message>
            <source>请检查网络后再点下载</source>
            <translation>check the network, then download</translation>
        </message>
        <message>
            <source>请清理磁盘后再点下载</source>
            <translation>free some disk, then download</translation>
        </message>
        <message>
            <source>请先重新安装</source>
            <translation>install again first</translation>
        </message>
        <message>
            <source>请重启电脑后再试</source>
            <translation>restart the computer and retry</translation>
        </message>
        <message>
            <source>请联系客服</source>
            <translation>contact support</translation>
        </message>
        <message>
            <source>请再点下载，仍失败请联系客服</source>
            <translation>download again; if it fails, contact support</translation>
        </message>
        <message>
            <source>下载失败（%ls），%ls</source>
            <translation>Failed (%ls): %ls</translation>
        </message>
        <message>
            <source>模型下载失败（%ls），请再次点击安装。</source>
            <translation>Model download failed (%ls): click install again.</translation>
        </message>
    </context>
    <context>
        <name>SampleStates</name>
        <message>
            <source>安装包：已下载并校验 1.2.0</source>
            <translation>Install package: 1.2.0 downloaded and checked</translation>
        </message>
        <message>
            <source>运行程序 Ollama：已安装 0.6.0</source>
            <translation>Ollama runner: 0.6.0 installed</translation>
        </message>
        <message>
            <source>聊天客户端 Chatbox：已安装 1.10.2</source>
            <translation>Chatbox chat client: 1.10.2 installed</translation>
        </message>
        <message>
            <source>安装包：完好</source>
            <translation>Install package: intact</translation>
        </message>
        <message>
            <source>运行程序 Ollama：缺少 ollama，已从安装包重新安装</source>
            <translation>Runner Ollama: ollama was missing, installed again from the package</translation>
        </message>
        <message>
            <source>模型存放目录：完好</source>
            <translation>Model folder: intact</translation>
        </message>
        <message>
            <source>模型服务：已启动，正在应答</source>
            <translation>Model service: started, answering</translation>
        </message>
        <message>
            <source>聊天客户端 Chatbox：完好</source>
            <translation>Chat client Chatbox: intact</translation>
        </message>
        <message>
            <source>Chatbox 的设置：所选模型已不存在，已改为 deepseek-r1:7b</source>
            <translation>Chatbox settings: the chosen model was gone, now deepseek-r1:7b</translation>
        </message>
        <message>
            <source>开机启动：已重新登记</source>
            <translation>Start with the system: registered again</translation>
        </message>
        <message>
            <source>本地安装包：deepseek-of…025-03.zip</source>
            <translation>Package file: deepseek-of…025-03.zip</translation>
        </message>
        <message>
            <source>安装包 42% · 已下载 512.0 MB / 1.19 GB</source>
            <translation>Package 42% · 512.0 MB / 1.19 GB downloaded</translation>
        </message>
        <message>
            <source>正在安装运行器…</source>
            <translation>Installing the runner…</translation>
        </message>
        <message>
            <source>本机内存 16 GB，此模型建议 8 GB 以上：可以流畅运行。</source>
            <translation>RAM 16 GB, the model wants 8 GB+: runs smoothly.</translation>
        </message>
        <message>
            <source>deepseek-r1:1.5b  正在启动模型运行程序，首次约需一分钟…</source>
            <translation>deepseek-r1:1.5b  starting the runner (first time ~1 min)…</translation>
        </message>
        <message>
            <source>已下载 deepseek-r1:1.5b</source>
            <translation>Downloaded deepseek-r1:1.5b</translation>
        </message>
        <message>
            <source>已下载 512.0 MB / 1.19 GB · 6.4 MB/s · 剩余约 2 分钟</source>
            <translation>512.0 MB / 1.19 GB · 6.4 MB/s · about 2 minutes left</translation>
        </message>
        <message>
            <source>修复完成</source>
            <translation>Repair finished</translation>
        </message>
    </context>
    <context>
        <name>Startup</name>
        <message>
            <source>无法正常初使化SOUI</source>
            <translation>The window could not be initialised</translation>
        </message>
        <message>
            <source>错误</source>
            <translation>Error</translation>
        </message>
        <message>
            <source>无法创建数据文件夹：%1</source>
            <translation>Cannot create the data folder: %1</translation>
        </message>
    </context>
    <context>
        <name>UsageSwitch</name>
        <message>
            <source>环境变量 DO_NOT_TRACK 已要求不发送使用统计</source>
            <translation>The environment variable DO_NOT_TRACK asks for no usage reports</translation>
        </message>
        <message>
            <source>向厂商发送操作事件名称、本机生成的设备标识、系统名称和版本号</source>
            <translation>Sends the vendor event names, a device ID made on this computer, the system name and the version</translation>
        </message>
    </context>
    <context>
        <name>mainRoot</name>
        <message>
            <source>模型已下载，但还没能在本机回答</source>
            <translation>The model is downloaded but has not answered on this computer yet</translation>
        </message>
        <message>
            <source>Tidewell</source>
            <translation>Tidewell</translation>
        </message>
        <message>
            <source>DeepSeek 本地部署助手</source>
            <translation>DeepSeek local setup assistant</translation>
        </message>
        <message>
            <source>切换界面语言 中文 / English</source>
            <translation>Switch the language: Chinese / English</translation>
        </message>
        <message>
            <source>管理</source>
            <translation>Manage</translation>
        </message>
        <message>
            <source>管理已安装的内容</source>
            <translation>Manage what is installed</translation>
        </message>
        <message>
            <source>联系客服</source>
            <translation>Support</translation>
        </message>
        <message>
            <source>关闭</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>DeepSeek是一款具有强大的自然语言处理能力的在线大模型。通过本工具软件实现本地化部署后，无需编程基础，</source>
            <translation>DeepSeek is a powerful large language model. Set up on this computer with this tool, no programming needed,</translation>
        </message>
        <message>
            <source>即可充分利用个人电脑的强大算力，获得数据隐私保护，避免网络速度限制，获得更加流畅、高效的AI使用体验。</source>
            <translation>it uses your own computer's power: your data stays private, no network limits, a smoother and faster AI experience.</translation>
        </message>
        <message>
            <source>下载模型:</source>
            <translation>Model:</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 1.5B (推荐)</source>
            <translation>DeepSeek - R1 - 1.5B (recommended)</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 7B</source>
            <translation>DeepSeek - R1 - 7B</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 8B</source>
            <translation>DeepSeek - R1 - 8B</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 14B</source>
            <translation>DeepSeek - R1 - 14B</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 32B</source>
            <translation>DeepSeek - R1 - 32B</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 70B</source>
            <translation>DeepSeek - R1 - 70B</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 671B</source>
            <translation>DeepSeek - R1 - 671B</translation>
        </message>
        <message>
            <source>安装地址:</source>
            <translation>Folder:</translation>
        </message>
        <message>
            <source>选择路径</source>
            <translation>Browse</translation>
        </message>
        <message>
            <source>从本地安装包安装</source>
            <translation>Use a package file</translation>
        </message>
        <message>
            <source>没有网络或网络很慢时，选择已下载好的安装包（.zip）来安装</source>
            <translation>With no or a slow connection, choose a package (.zip) downloaded before</translation>
        </message>
        <message>
            <source>改为在线下载</source>
            <translation>Go online</translation>
        </message>
        <message>
            <source>DeepSeek未安装，点击即可下载</source>
            <translation>DeepSeek is not installed: click to download</translation>
        </message>
        <message>
            <source>正在下载安装包</source>
            <translation>Downloading the package</translation>
        </message>
        <message>
            <source>正在安装</source>
            <translation>Installing</translation>
        </message>
        <message>
            <source>正在下载模型</source>
            <translation>Downloading the model</translation>
        </message>
        <message>
            <source>所需空间:</source>
            <translation>Needed:</translation>
        </message>
        <message>
            <source>1.1GB</source>
            <translation>1.1GB</translation>
        </message>
        <message>
            <source>可用空间:</source>
            <translation>Free:</translation>
        </message>
        <message>
            <source>98.05G</source>
            <translation>98.05G</translation>
        </message>
        <message>
            <source>硬件要求:</source>
            <translation>Needs:</translation>
        </message>
        <message>
            <source>大小 1.10GB | CPU 4核 </source>
            <translation>Size 1.10GB | 4 cores </translation>
        </message>
        <message>
            <source>内存 8GB+ | 显示 非必须</source>
            <translation>RAM 8GB+, GPU optional</translation>
        </message>
        <message>
            <source>安装完成，DeepSeek 已可在本机使用</source>
            <translation>Installed: DeepSeek is ready on this computer</translation>
        </message>
        <message>
            <source>立即体验</source>
            <translation>Try it now</translation>
        </message>
        <message>
            <source>下载其他模型</source>
            <translation>Other models</translation>
        </message>
        <message>
            <source>使用教程</source>
            <translation>User guide</translation>
        </message>
        <message>
            <source>使用统计仅含操作事件名称、本机生成的设备标识、系统名称和版本号，不含个人文件或对话内容。</source>
            <translation>Reports: event names, a local device ID, system, version. Never files or chats.</translation>
        </message>
        <message>
            <source>发送使用统计</source>
            <translation>Usage stats</translation>
        </message>
        <message>
            <source>知道了</source>
            <translation>Got it</translation>
        </message>
        <message>
            <source>正在下载，请耐心等待...</source>
            <translation>Downloading...</translation>
        </message>
        <message>
            <source>(0 %)</source>
            <translation>(0 %)</translation>
        </message>
        <message>
            <source>关闭此窗口将取消下载，可稍后重新开始</source>
            <translation>Closing this window cancels the download; you can start again later</translation>
        </message>
        <message>
            <source>请选择下载模型</source>
            <translation>Choose a model to download</translation>
        </message>
        <message>
            <source>DeepSeek - R1 - 1.5B</source>
            <translation>DeepSeek - R1 - 1.5B</translation>
        </message>
        <message>
            <source>大小 1.10GB | CPU 4核 | 内存 8GB+ | 显卡 非必须</source>
            <translation>Size 1.10GB | CPU 4 cores | RAM 8GB+ | GPU optional</translation>
        </message>
        <message>
            <source>更新时间：2025-02-14</source>
            <translation>Updated: 2025-02-14</translation>
        </message>
        <message>
            <source>下载</source>
            <translation>Download</translation>
        </message>
        <message>
            <source>下载中，请耐心等待...</source>
            <translation>Downloading...</translation>
        </message>
        <message>
            <source>大小 4.70GB | CPU 4核 | 内存 24GB+ | 显卡 非必须</source>
            <translation>Size 4.70GB | CPU 4 cores | RAM 24GB+ | GPU optional</translation>
        </message>
        <message>
            <source>大小 4.90GB | CPU 8核 | 内存 32GB+ | 显卡 非必须</source>
            <translation>Size 4.90GB | CPU 8 cores | RAM 32GB+ | GPU optional</translation>
        </message>
        <message>
            <source>大小 9.00GB | CPU 8核 | 内存 32GB+ | 显卡 16GB+</source>
            <translation>Size 9.00GB | CPU 8 cores | RAM 32GB+ | GPU 16GB+</translation>
        </message>
        <message>
            <source>大小 20.00GB | CPU 8核 | 内存 32GB+ | 显卡 24GB+</source>
            <translation>Size 20.00GB | CPU 8 cores | RAM 32GB+ | GPU 24GB+</translation>
        </message>
        <message>
            <source>大小 43.00GB | CPU 16核 | 内存 64GB+ | 显卡 32GB+</source>
            <translation>Size 43.00GB | CPU 16 cores | RAM 64GB+ | GPU 32GB+</translation>
        </message>
        <message>
            <source>大小 404.00GB | CPU 32核 | 内存 512GB+ | 显卡 32GB+</source>
            <translation>Size 404.00GB | CPU 32 cores | RAM 512GB+ | GPU 32GB+</translation>
        </message>
    </context>
    <context>
        <name>ModelCatalogue</name>
        <message>
            <source>大小 1.10GB | CPU 4核 </source>
            <translation>Size 1.10GB | 4 cores </translation>
        </message>
        <message>
            <source>大小 4.70GB | CPU 4核 </source>
            <translation>Size 4.70GB | 4 cores </translation>
        </message>
        <message>
            <source>大小 4.90GB | CPU 8核 </source>
            <translation>Size 4.90GB | 8 cores </translation>
        </message>
        <message>
            <source>大小 9.00GB | CPU 8核 </source>
            <translation>Size 9.00GB | 8 cores </translation>
        </message>
        <message>
            <source>大小 20.00GB | CPU 8核 </source>
            <translation>Size 20.00GB | 8 cores </translation>
        </message>
        <message>
            <source>大小 43.00GB | CPU 16核 </source>
            <translation>Size 43.00GB | 16 cores </translation>
        </message>
        <message>
            <source>大小 404.00GB | CPU 32核 </source>
            <translation>Size 404.00GB | 32 cores </translation>
        </message>
        <message>
            <source>内存 8GB+ | 显示 非必须</source>
            <translation>RAM 8GB+, GPU optional</translation>
        </message>
        <message>
            <source>内存 24GB+ | 显示 非必须</source>
            <translation>RAM 24GB+, GPU optional</translation>
        </message>
        <message>
            <source>内存 32GB+ | 显示 非必须</source>
            <translation>RAM 32GB+, GPU optional</translation>
        </message>
        <message>
            <source>内存 32GB+ | 显示 16GB+</source>
            <translation>RAM 32GB+, GPU 16GB+</translation>
        </message>
        <message>
            <source>内存 32GB+ | 显示 24GB+</source>
            <translation>RAM 32GB+, GPU 24GB+</translation>
        </message>
        <message>
            <source>内存 64GB+ | 显示 32GB+</source>
            <translation>RAM 64GB+, GPU 32GB+</translation>
        </message>
        <message>
            <source>内存 512GB+ | 显示 32GB+</source>
            <translation>RAM 512GB+, GPU 32GB+</translation>
        </message>
    </context>
    <context>
        <name>Accessibility</name>
        <message>
            <source>语言</source>
            <translation>Language</translation>
        </message>
        <message>
            <source>在中文和英文之间切换界面语言</source>
            <translation>Switch the window between Chinese and English</translation>
        </message>
        <message>
            <source>管理</source>
            <translation>Manage</translation>
        </message>
        <message>
            <source>查看已安装的内容，修复或全部卸载</source>
            <translation>See what is installed, repair it or uninstall everything</translation>
        </message>
        <message>
            <source>联系客服</source>
            <translation>Customer service</translation>
        </message>
        <message>
            <source>在浏览器中打开客服页面</source>
            <translation>Open the customer service page in the browser</translation>
        </message>
        <message>
            <source>关闭</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>关闭窗口，退出安装助手</source>
            <translation>Close the window and quit the assistant</translation>
        </message>
        <message>
            <source>发送使用统计</source>
            <translation>Send usage statistics</translation>
        </message>
        <message>
            <source>开启时发送操作事件名称、本机生成的设备标识、系统名称和版本号</source>
            <translation>When on, sends event names, a device identifier made on this machine, the system name and the version</translation>
        </message>
        <message>
            <source>知道了</source>
            <translation>Got it</translation>
        </message>
        <message>
            <source>关闭使用统计说明</source>
            <translation>Close the usage statistics notice</translation>
        </message>
        <message>
            <source>下载模型</source>
            <translation>Model</translation>
        </message>
        <message>
            <source>选择要安装的 DeepSeek-R1 模型大小</source>
            <translation>Choose the DeepSeek-R1 model size to install</translation>
        </message>
        <message>
            <source>安装地址</source>
            <translation>Install folder</translation>
        </message>
        <message>
            <source>程序和模型安装到这个文件夹</source>
            <translation>The programs and models are installed into this folder</translation>
        </message>
        <message>
            <source>选择路径</source>
            <translation>Browse</translation>
        </message>
        <message>
            <source>打开文件夹选择窗口，选择安装地址</source>
            <translation>Open the folder dialog to choose the install folder</translation>
        </message>
        <message>
            <source>从本地安装包安装</source>
            <translation>Install from a package on disk</translation>
        </message>
        <message>
            <source>选择已下载好的安装包（.zip）来安装</source>
            <translation>Choose a downloaded package (.zip) to install from</translation>
        </message>
        <message>
            <source>改为在线下载</source>
            <translation>Download instead</translation>
        </message>
        <message>
            <source>不使用本地安装包，从网络下载</source>
            <translation>Do not use the package on disk; download it</translation>
        </message>
        <message>
            <source>开始安装</source>
            <translation>Install</translation>
        </message>
        <message>
            <source>DeepSeek 未安装，按回车或空格下载并安装所选模型</source>
            <translation>DeepSeek is not installed; press Enter or Space to download and install the chosen model</translation>
        </message>
        <message>
            <source>正在下载安装包</source>
            <translation>Downloading the package</translation>
        </message>
        <message>
            <source>安装进度，请稍候</source>
            <translation>Installation progress; please wait</translation>
        </message>
        <message>
            <source>正在安装</source>
            <translation>Installing</translation>
        </message>
        <message>
            <source>正在下载模型</source>
            <translation>Downloading the model</translation>
        </message>
        <message>
            <source>立即体验</source>
            <translation>Try it now</translation>
        </message>
        <message>
            <source>打开 Chatbox，与已安装的模型对话</source>
            <translation>Open Chatbox and chat with the installed model</translation>
        </message>
        <message>
            <source>下载其他模型</source>
            <translation>More models</translation>
        </message>
        <message>
            <source>打开模型列表，下载其他大小的模型</source>
            <translation>Open the model list to download other sizes</translation>
        </message>
        <message>
            <source>使用教程</source>
            <translation>Guide</translation>
        </message>
        <message>
            <source>打开使用教程</source>
            <translation>Open the guide</translation>
        </message>
        <message>
            <source>关闭此窗口，返回主页面</source>
            <translation>Close this page and return to the main page</translation>
        </message>
        <message>
            <source>下载 %1</source>
            <translation>Download %1</translation>
        </message>
        <message>
            <source>下载此模型并在 Chatbox 中使用</source>
            <translation>Download this model and use it in Chatbox</translation>
        </message>
    </context>
    <context>
        <name>OwnedFiles</name>
        <message>
            <source>安装位置 %ls 中已有不是本程序创建的文件夹 %ls。为免改动您的文件，安装没有进行。请选择其他安装位置，或将这个文件夹移到别处后再安装。</source>
            <translation>The install location %ls already holds a folder %ls that this program did not create. To leave your files untouched, nothing was installed. Choose another install location, or move that folder elsewhere and install again.</translation>
        </message>
    </context>
    <context>
        <name>FirstAnswer</name>
        <message>
            <source>正在加载模型，第一次需要一些时间… %lld 秒</source>
            <translation>Loading the model; the first time takes a while… %lld s</translation>
        </message>
        <message>
            <source>首次回答用时 %ls 秒</source>
            <translation>first answer in %ls s</translation>
        </message>
        <message>
            <source>内存不足，暂时无法回答</source>
            <translation>not enough memory to answer yet</translation>
        </message>
        <message>
            <source>显卡内存不足，暂时无法回答</source>
            <translation>not enough graphics memory to answer yet</translation>
        </message>
        <message>
            <source>加载时运行程序退出，暂时无法回答</source>
            <translation>the runner quit while loading; no answer yet</translation>
        </message>
        <message>
            <source>加载超时，暂时无法回答</source>
            <translation>loading took too long; no answer yet</translation>
        </message>
        <message>
            <source>暂时无法回答</source>
            <translation>cannot answer yet</translation>
        </message>
        <message>
            <source>模型已下载，但本机可用内存不够运行它：它需要 %ls，现在只有 %ls 可用。关闭一些程序后可以再试，或改用较小的模型。</source>
            <translation>The model is downloaded, but this computer does not have enough free memory to run it: it needs %ls and only %ls is available. Close some programs and try again, or use a smaller model.</translation>
        </message>
        <message>
            <source>模型已下载，但本机可用内存不够运行它。关闭一些程序后可以再试，或改用较小的模型。</source>
            <translation>The model is downloaded, but this computer does not have enough free memory to run it. Close some programs and try again, or use a smaller model.</translation>
        </message>
        <message>
            <source>模型已下载，但显卡内存不够，加载时失败。关闭占用显卡的程序后可以再试，或改用较小的模型。</source>
            <translation>The model is downloaded, but the graphics card ran out of memory while loading it. Close programs that use the graphics card and try again, or use a smaller model.</translation>
        </message>
        <message>
            <source>模型已下载，但模型运行程序在加载模型时意外退出。可以在“管理”中修复后再试，或改用较小的模型。</source>
            <translation>The model is downloaded, but the model runner quit unexpectedly while loading it. Repair the installation under "Manage" and try again, or use a smaller model.</translation>
        </message>
        <message>
            <source>模型已下载，但 %ld 秒内没有给出回答。本机可能太忙或内存不足；可以稍后再试，或改用较小的模型。</source>
            <translation>The model is downloaded, but it gave no answer within %ld seconds. This computer may be too busy or short of memory; try again later, or use a smaller model.</translation>
        </message>
        <message>
            <source>模型运行程序里找不到这个模型，请重新下载。</source>
            <translation>The model runner does not have this model. Please download it again.</translation>
        </message>
        <message>
            <source>模型运行程序没有响应，模型还不能回答。可以在“管理”中修复后再试。</source>
            <translation>The model runner does not respond, so the model cannot answer yet. Repair the installation under "Manage" and try again.</translation>
        </message>
        <message>
            <source>模型已下载，但还不能回答：%ls</source>
            <translation>The model is downloaded but cannot answer yet: %ls</translation>
        </message>
    </context>
</TS>
