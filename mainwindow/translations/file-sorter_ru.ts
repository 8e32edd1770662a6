<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Не удалось загрузить список из «%1»: %2.

Файл загружен не полностью, поэтому «Сохранить» запросит имя файла.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>Файл «%1» изменён на диске с тех пор, как был загружен или сохранён здесь.

Поэтому «Сохранить» запросит имя файла, чтобы изменение не было незаметно перезаписано.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Не удалось сохранить список в «%1»: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>все поддерживаемые</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>файлы списков</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>текстовые файлы</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Файл не выбран</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>добавить в список</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Доб.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Загрузить</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Сохранить</translation>
    </message>
</context>
</TS>
