<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>无法从“%1”加载列表：%2。

文件未能完整加载，因此“保存列表”将询问文件名。</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>自从在此加载或保存以来，文件“%1”已在磁盘上被更改。

因此“保存列表”将询问文件名，以免在不知情的情况下覆盖这些更改。</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>无法将列表保存到“%1”：%2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>所有支持的格式</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>列表文件</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>文本文件</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>未选择文件</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>添加到列表</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>加载列表(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>保存列表(&amp;S)</translation>
    </message>
</context>
</TS>
