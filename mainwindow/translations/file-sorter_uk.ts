<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="uk_UA">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Не вдалося завантажити список з «%1»: %2.

Файл завантажено не повністю, тому «Зберегти» запитає назву файлу.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Файл «%1» змінено на диску відтоді, як його було завантажено або збережено тут.

Тому «Зберегти» запитає назву файлу, щоб зміну не було непомітно перезаписано.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Не вдалося зберегти список у «%1»: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>усі підтримувані</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>файли списків</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>текстові файли</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Файл не вибрано</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Помилка</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>додати до списку</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Дод.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Завантажити</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>З&amp;берегти</translation>
    </message>
</context>
</TS>
