<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>「%1」からリストを読み込めませんでした: %2。

ファイル全体を読み込めなかったため、「保存」するときにファイル名を尋ねます。</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>「%1」は、ここで読み込みまたは保存した後にディスク上で変更されています。

変更を気付かないうちに上書きしないよう、「保存」するときにファイル名を尋ねます。</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>「%1」にリストを保存できませんでした: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>すべての対応形式</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>リストファイル</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>テキストファイル</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>ファイルが選択されていません</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>リストに追加</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>読み込み(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>保存(&amp;S)</translation>
    </message>
</context>
</TS>
