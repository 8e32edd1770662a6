<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>CurrentFile</name>
    <message>
        <source>Cannot load the list from &quot;%1&quot;: %2.

The file was not loaded whole, so Save list will ask for a file name.</source>
        <translation>Não é possível carregar a lista de “%1”: %2.

O arquivo não foi carregado por inteiro, então “Salvar lista” pedirá um nome de arquivo.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; has changed on disk since it was loaded or saved here.

Save list will ask for a file name, so that the change is not written over unseen.</source>
        <translation>O arquivo “%1” foi alterado no disco desde que foi carregado ou salvo aqui.

“Salvar lista” pedirá um nome de arquivo, para que a alteração não seja sobrescrita sem que você a veja.</translation>
    </message>
    <message>
        <source>Cannot save the list to &quot;%1&quot;: %2</source>
        <translation>Não é possível salvar a lista em “%1”: %2</translation>
    </message>
</context>
<context>
    <name>FileSelection</name>
    <message>
        <source>all supported</source>
        <translation>todos os suportados</translation>
    </message>
    <message>
        <source>list files</source>
        <translation>arquivos de lista</translation>
    </message>
    <message>
        <source>text files</source>
        <translation>arquivos de texto</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Nenhum arquivo selecionado</translation>
    </message>
</context>
<context>
    <name>QtPrompts</name>
    <message>
        <source>Error</source>
        <translation>Erro</translation>
    </message>
</context>
<context>
    <name>Sorter</name>
    <message>
        <source>add to list</source>
        <translation>incluir na lista</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Incl.</translation>
    </message>
    <message>
        <source>&amp;Load list</source>
        <translation>&amp;Carregar lista</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Salvar lista</translation>
    </message>
</context>
</TS>
