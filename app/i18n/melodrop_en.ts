<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AlbumsView</name>
    <message>
        <source>Альбомы</source>
        <translation>Albums</translation>
    </message>
    <message>
        <source>Название альбома</source>
        <translation>Album title</translation>
    </message>
    <message>
        <source>Нет альбомов</source>
        <translation>No albums</translation>
    </message>
</context>
<context>
    <name>AlertDialog</name>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Играть</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Позиция</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
</context>
<context>
    <name>AudioResults</name>
    <message>
        <source>ID пользователя (ваш - неизвестен)</source>
        <translation>User ID (yours: unknown)</translation>
    </message>
    <message>
        <source>ID пользователя (ваш - %1)</source>
        <translation>User ID (yours: %1)</translation>
    </message>
    <message>
        <source>Альбом: %1</source>
        <translation>Album: %1</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не выполнен вход</source>
        <translation>Not signed in</translation>
    </message>
    <message>
        <source>Выполняется поиск...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Поиск ограничен правообладателями</source>
        <translation>Search restricted by rights holders</translation>
    </message>
    <message>
        <source>Завершено</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>Найдено аудиозаписей: %1</source>
        <translation>Tracks found: %1</translation>
    </message>
    <message>
        <source>Добавление записей...</source>
        <translation>Adding tracks...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Вы уверены, что хотите удалить запись со своей страницы ВКонтакте? Это действие не удаляет запись из устройства.</source>
        <translation>Are you sure you want to delete this track from your VKontakte page? This does not delete it from this computer.</translation>
    </message>
    <message>
        <source>Вы уверены, что хотите добавить запись к себе на страницу ВКонтакте? Это действие не сохраняет запись в устройство.</source>
        <translation>Are you sure you want to add this track to your VKontakte page? This does not save it on this computer.</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Да, уверен</source>
        <translation>Yes, I am sure</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Запись добавлена в очередь</source>
        <translation>Track added to the queue</translation>
    </message>
    <message>
        <source>Все записи добавлены в очередь</source>
        <translation>All tracks added to the queue</translation>
    </message>
</context>
<context>
    <name>AudioResultsView</name>
    <message>
        <source>Прослушать</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>В очередь загрузок</source>
        <translation>Add to downloads</translation>
    </message>
    <message>
        <source>Аудио</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Свои</source>
        <translation>Mine</translation>
    </message>
    <message>
        <source>Исполнитель или название</source>
        <translation>Artist or title</translation>
    </message>
    <message>
        <source>ID группы</source>
        <translation>Community ID</translation>
    </message>
    <message>
        <source>Популярные</source>
        <translation>Popular</translation>
    </message>
    <message>
        <source>Длина</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Скачать все</source>
        <translation>Download all</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Нет записей</source>
        <translation>No tracks</translation>
    </message>
</context>
<context>
    <name>AudioTab</name>
    <message>
        <source>Аудио</source>
        <translation>Audio</translation>
    </message>
</context>
<context>
    <name>Audio_Albums</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не выполнен вход</source>
        <translation>Not signed in</translation>
    </message>
    <message>
        <source>Выполняется поиск...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Разбор данных...</source>
        <translation>Reading the data...</translation>
    </message>
    <message>
        <source>Завершено</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>Найдено муз. альбомов: %1</source>
        <translation>Albums found: %1</translation>
    </message>
    <message>
        <source>Поиск: %1 из %2</source>
        <translation>Searching: %1 of %2</translation>
    </message>
</context>
<context>
    <name>Audio_Library</name>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Запись добавлена в плейлист</source>
        <translation>Track added to the playlist</translation>
    </message>
    <message>
        <source>Все записи добавлены в плейлист</source>
        <translation>All tracks added to the playlist</translation>
    </message>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Вы уверены, что хотите удалить все файлы из медиатеки? Учтите, они также будут удалены из памяти устройства.</source>
        <translation>Are you sure you want to delete all files from the library? They will be deleted from this computer as well.</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
</context>
<context>
    <name>Audio_Playlist</name>
    <message>
        <source>Аудиоплеер</source>
        <translation>Audio player</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сохранить плейлист как...</source>
        <translation>Save playlist as...</translation>
    </message>
    <message>
        <source>Загрузить плейлист</source>
        <translation>Load playlist</translation>
    </message>
    <message>
        <source>Очистить плейлист</source>
        <translation>Clear playlist</translation>
    </message>
    <message>
        <source>Удалить из плейлиста все записи (%1)?</source>
        <translation>Remove all %1 tracks from the playlist?</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Плейлист не сохранён: файл не удалось записать</source>
        <translation>The playlist was not saved: the file could not be written</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Плейлист не сохранён: он слишком велик (файл был бы больше %1 МБ)</source>
        <translation>The playlist was not saved: it is too large (the file would be over %1 MB)</translation>
    </message>
    <message>
        <source>Экспорт в M3U</source>
        <translation>Export to M3U</translation>
    </message>
    <message>
        <source>Экспорт в XSPF</source>
        <translation>Export to XSPF</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Плейлист пуст: экспортировать нечего</source>
        <translation>The playlist is empty: there is nothing to export</translation>
    </message>
    <message>
        <source>Плейлист не экспортирован: файл не удалось записать</source>
        <translation>The playlist was not exported: the file could not be written</translation>
    </message>
    <message>
        <source>Плейлист сохранён в файл %1</source>
        <translation>The playlist was saved to the file %1</translation>
    </message>
</context>
<context>
    <name>CatalogueMenu</name>
    <message>
        <source>Поиск</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>все аудиозаписи ресурса</source>
        <translation>all audio of the service</translation>
    </message>
    <message>
        <source>Частные</source>
        <translation>Personal</translation>
    </message>
    <message>
        <source>аудиозаписи пользователя</source>
        <translation>a user&apos;s audio</translation>
    </message>
    <message>
        <source>Общие</source>
        <translation>Communities</translation>
    </message>
    <message>
        <source>аудиозаписи группы</source>
        <translation>a community&apos;s audio</translation>
    </message>
    <message>
        <source>Рекомендуемые</source>
        <translation>Recommended</translation>
    </message>
    <message>
        <source>рекомендуемые аудиозаписи</source>
        <translation>recommended audio</translation>
    </message>
    <message>
        <source>Альбомы</source>
        <translation>Albums</translation>
    </message>
    <message>
        <source>поиск музыкальных альбомов</source>
        <translation>search music albums</translation>
    </message>
    <message>
        <source>Медиатека</source>
        <translation>Library</translation>
    </message>
    <message>
        <source>хранилище записей</source>
        <translation>saved files</translation>
    </message>
    <message>
        <source>Аудиоплеер</source>
        <translation>Audio player</translation>
    </message>
    <message>
        <source>проигрываемые записи</source>
        <translation>tracks being played</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>отправка в другие приложения</source>
        <translation>send to other applications</translation>
    </message>
    <message>
        <source>Друзья и группы</source>
        <translation>Friends and groups</translation>
    </message>
    <message>
        <source>список ваших друзей и групп</source>
        <translation>your friends and communities</translation>
    </message>
    <message>
        <source>все видеозаписи ресурса</source>
        <translation>all video of the service</translation>
    </message>
    <message>
        <source>видеозаписи пользователя</source>
        <translation>a user&apos;s video</translation>
    </message>
    <message>
        <source>видеозаписи группы</source>
        <translation>a community&apos;s video</translation>
    </message>
    <message>
        <source>рекомендуемые видеозаписи</source>
        <translation>recommended video</translation>
    </message>
</context>
<context>
    <name>DocumentsMove</name>
    <message>
        <source>Папка не выбрана.</source>
        <translation>No folder was chosen.</translation>
    </message>
    <message>
        <source>Это и есть текущая папка документов.</source>
        <translation>This is the current documents folder already.</translation>
    </message>
    <message>
        <source>Новая папка не может лежать внутри текущей папки документов.</source>
        <translation>The new folder cannot be inside the current documents folder.</translation>
    </message>
    <message>
        <source>«%1» — не папка.</source>
        <translation>“%1” is not a folder.</translation>
    </message>
    <message>
        <source>В папку «%1» нельзя записывать.</source>
        <translation>The folder “%1” is not writable.</translation>
    </message>
    <message>
        <source>Не удалось создать папку «%1».</source>
        <translation>Could not create the folder “%1”.</translation>
    </message>
    <message>
        <source>В новой папке уже есть файл «%1».</source>
        <translation>The new folder already holds a file “%1”.</translation>
    </message>
    <message>
        <source>Не удалось скопировать «%1».</source>
        <translation>Could not copy “%1”.</translation>
    </message>
</context>
<context>
    <name>DownloadsFinished</name>
    <message>
        <source>Загрузки завершены</source>
        <translation>Downloads finished</translation>
    </message>
    <message numerus="yes">
        <source>Сохранено файлов: %n</source>
        <translation>
            <numerusform>%n file saved</numerusform>
            <numerusform>%n files saved</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ExportView</name>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Нет файлов</source>
        <translation>No files</translation>
    </message>
</context>
<context>
    <name>FriendsGroupsView</name>
    <message>
        <source>Скопировать ID</source>
        <translation>Copy ID</translation>
    </message>
    <message>
        <source>Друзья</source>
        <translation>Friends</translation>
    </message>
    <message>
        <source>Группы</source>
        <translation>Communities</translation>
    </message>
    <message>
        <source>Нет записей</source>
        <translation>Nothing here</translation>
    </message>
    <message>
        <source>Аудиозаписи сообщества</source>
        <translation>Community&apos;s audio</translation>
    </message>
    <message>
        <source>Аудиозаписи пользователя</source>
        <translation>User&apos;s audio</translation>
    </message>
    <message>
        <source>Видеозаписи сообщества</source>
        <translation>Community&apos;s videos</translation>
    </message>
    <message>
        <source>Видеозаписи пользователя</source>
        <translation>User&apos;s videos</translation>
    </message>
</context>
<context>
    <name>Friends_and_Groups</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не выполнен вход</source>
        <translation>Not signed in</translation>
    </message>
    <message>
        <source>Выполняется поиск...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Всего: %1</source>
        <translation>Total: %1</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>ID скопирован в буфер</source>
        <translation>ID copied to the clipboard</translation>
    </message>
</context>
<context>
    <name>LibraryBrowser</name>
    <message>
        <source>Всего: %1 Мб</source>
        <translation>Total: %1 MB</translation>
    </message>
    <message>
        <source>Папка: %1 Мб</source>
        <translation>Folder: %1 MB</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Медиатека</source>
        <translation>Library</translation>
    </message>
    <message>
        <source>Удалить папку</source>
        <translation>Delete folder</translation>
    </message>
    <message>
        <source>Размер: %1 Мб</source>
        <translation>Size: %1 MB</translation>
    </message>
    <message>
        <source>Удалить файл</source>
        <translation>Delete file</translation>
    </message>
    <message>
        <source>Удалить «%1»?</source>
        <translation>Delete “%1”?</translation>
    </message>
    <message>
        <source>Удалить файлы: %1?</source>
        <translation>Delete %1 files?</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>«%1» в корзине</source>
        <translation>“%1” moved to the trash</translation>
    </message>
    <message>
        <source>Файлов в корзине: %1</source>
        <translation>Files moved to the trash: %1</translation>
    </message>
</context>
<context>
    <name>LibraryView</name>
    <message>
        <source>Прослушать</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Смотреть</source>
        <translation>Watch</translation>
    </message>
    <message>
        <source>Добавить в плейлист</source>
        <translation>Add to playlist</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Добавить все</source>
        <translation>Add all</translation>
    </message>
    <message>
        <source>Очистить все</source>
        <translation>Delete all</translation>
    </message>
    <message>
        <source>Название</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Размер</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>Нет файлов</source>
        <translation>No files</translation>
    </message>
    <message>
        <source>Фильтр: название, исполнитель, альбом</source>
        <translation>Filter: title, artist, album</translation>
    </message>
    <message>
        <source>Вся медиатека</source>
        <translation>Whole library</translation>
    </message>
    <message>
        <source>Исполнитель</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>Альбом</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>В плейлисте</source>
        <translation>In the playlist</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Фильтр</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Играть в плеере</source>
        <translation>Play in the player</translation>
    </message>
</context>
<context>
    <name>Lifecycle</name>
    <message>
        <source>Импортированные</source>
        <translation>Imported</translation>
    </message>
    <message>
        <source>Melodrop не даёт экрану гаснуть</source>
        <translation>Melodrop keeps the screen on</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Файл не импортирован: в его адресе нет имени файла</source>
        <translation>The file was not imported: its address has no file name</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Файл %1 не импортирован: %2</source>
        <translation>The file %1 was not imported: %2</translation>
    </message>
    <message>
        <source>Плейлист из прошлого запуска не удалось прочитать. Плеер начинает с пустого плейлиста; файл %1 не будет перезаписан.</source>
        <translation>The playlist of the last session could not be read. The player starts with an empty playlist; the file %1 will not be written over.</translation>
    </message>
    <message>
        <source>Плейлист из прошлого запуска не удалось прочитать. Плеер начинает с пустого плейлиста; файл сохранён как %1.</source>
        <translation>The playlist of the last session could not be read. The player starts with an empty playlist; the file was kept as %1.</translation>
    </message>
    <message>
        <source>Плейлист слишком велик, чтобы его сохранить (файл был бы больше %1 МБ). Сохранённым остаётся прежний плейлист.</source>
        <translation>The playlist is too large to be saved (the file would be over %1 MB). The playlist saved before stays.</translation>
    </message>
    <message>
        <source>Файл %1 помещён в папку %2/Импортированные</source>
        <translation>The file %1 was put into the folder %2/Imported</translation>
    </message>
</context>
<context>
    <name>LoginForm</name>
    <message>
        <source>Выполняется вход...</source>
        <translation>Signing in...</translation>
    </message>
    <message>
        <source>Выполняется выход...</source>
        <translation>Signing out...</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Вход успешно выполнен</source>
        <translation>Signed in</translation>
    </message>
    <message>
        <source>Не удалось выполнить вход</source>
        <translation>Could not sign in</translation>
    </message>
    <message>
        <source>Выход успешно выполнен</source>
        <translation>Signed out</translation>
    </message>
    <message>
        <source>Вход выполнен</source>
        <translation>Signed in</translation>
    </message>
    <message>
        <source>Вход выполнен, номер пользователя %1</source>
        <translation>Signed in, user number %1</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Очистить все данные</source>
        <translation>Clear all data</translation>
    </message>
    <message>
        <source>Удалить весь контент</source>
        <translation>Delete all content</translation>
    </message>
    <message>
        <source>Все загруженные аудио- и видеозаписи будут удалены с диска.</source>
        <translation>Every downloaded audio and video file will be deleted from the disk.</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Авторы:</source>
        <translation>Authors:
The Melodrop team

A client for the music and video of VKontakte on Linux.
Qt, libcurl, libxml2, libmpv and libplist, with thanks to their authors.</translation>
    </message>
    <message>
        <source>Для копирайтеров</source>
        <translation>For rights holders

Melodrop neither stores nor distributes anybody&apos;s recordings: it shows what the service&apos;s web site shows its users. Rights holders can have queries added to the list of restricted searches by writing to the developers.</translation>
    </message>
    <message>
        <source>Не удалось выполнить вход: %1</source>
        <translation>Could not sign in: %1</translation>
    </message>
    <message>
        <source>Сброс данных</source>
        <translation>Reset data</translation>
    </message>
    <message>
        <source>Очистить настройки и вход или удалить все загруженные записи?</source>
        <translation>Clear the settings and the sign-in, or delete every downloaded record?</translation>
    </message>
</context>
<context>
    <name>LoginView</name>
    <message>
        <source>Музыка и видео ВКонтакте</source>
        <translation>Music and video of VKontakte</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Выйти</source>
        <translation>Sign out</translation>
    </message>
    <message>
        <source>Войти</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Сброс данных</source>
        <translation>Reset data</translation>
    </message>
    <message>
        <source>Правообладателям</source>
        <translation>For rights holders</translation>
    </message>
</context>
<context>
    <name>Main</name>
    <message>
        <source>Вход</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Аудио</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Видео</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Загрузки</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
</context>
<context>
    <name>MediaExport</name>
    <message>
        <source>Открыть с помощью...</source>
        <translation>Open with...</translation>
    </message>
    <message>
        <source>Отправить по e-mail</source>
        <translation>Send by e-mail</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл %1</source>
        <translation>Could not read the file %1</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Не найдено ни одного подходящего приложения для экспорта данного типа файлов</source>
        <translation>No application was found that can take files of this type</translation>
    </message>
    <message>
        <source>Файл отправлен из приложения ВКонтакте Melodrop</source>
        <translation>File sent from the Melodrop VKontakte app</translation>
    </message>
</context>
<context>
    <name>Melodrop</name>
    <message>
        <source>Неизвестно</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Без названия</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>Could not write the file %1: %2</translation>
    </message>
    <message>
        <source>Сервер ответил кодом %1: %2</source>
        <translation>The server answered with code %1: %2</translation>
    </message>
    <message>
        <source>Не удалось начать загрузку</source>
        <translation>Could not start the download</translation>
    </message>
    <message>
        <source>Загрузка отменена</source>
        <translation>Download cancelled</translation>
    </message>
    <message>
        <source>Сервер не прислал файл: %1</source>
        <translation>The server sent no file: %1</translation>
    </message>
    <message>
        <source>Передача оборвалась: получено %1 из %2 байт</source>
        <translation>The transfer broke off: %1 of %2 bytes received</translation>
    </message>
    <message>
        <source>Превышено время ожидания ответа: %1</source>
        <translation>No answer in time: %1</translation>
    </message>
    <message>
        <source>Ошибка соединения: %1 (%2)</source>
        <translation>Connection error: %1 (%2)</translation>
    </message>
    <message>
        <source> недоступен на вашем устройстве</source>
        <translation> cannot be reached from this computer</translation>
    </message>
    <message>
        <source>Файл %1 занят другой загрузкой</source>
        <translation>The file %1 is in use by another download</translation>
    </message>
    <message>
        <source>Не удалось переместить файл в %1: %2</source>
        <translation>Could not move the file to %1: %2</translation>
    </message>
    <message>
        <source>Ошибка загрузки, неполный ответ сервера: Content-Range %1 на запрос с байта %2 (%3)</source>
        <translation>Download failed, incomplete answer from the server: Content-Range %1 for a request from byte %2 (%3)</translation>
    </message>
    <message>
        <source>Нет ответа сервиса: ни одного байта за %2 с, попыток подряд: %1 (%3)</source>
        <translation>No answer from the service: not a single byte in %2 s, attempts in a row: %1 (%3)</translation>
    </message>
    <message>
        <source>сервис ответил кодом %1</source>
        <translation>the service answered with code %1</translation>
    </message>
    <message>
        <source>нет ответа: %1</source>
        <translation>no answer: %1</translation>
    </message>
    <message>
        <source>ответ сервиса не удалось прочитать</source>
        <translation>the service&apos;s answer could not be read</translation>
    </message>
    <message>
        <source>сервис не открыл сеанс: неверный e-mail или пароль</source>
        <translation>the service opened no session: wrong e-mail or password</translation>
    </message>
</context>
<context>
    <name>NavigationBar</name>
    <message>
        <source>Назад</source>
        <translation>Back</translation>
    </message>
</context>
<context>
    <name>NowPlayingBar</name>
    <message>
        <source>Сейчас играет</source>
        <translation>Now playing</translation>
    </message>
    <message>
        <source>Ничего не играет</source>
        <translation>Nothing is playing</translation>
    </message>
    <message>
        <source>Предыдущая</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Играть</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Следующая</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Позиция</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Громкость</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Громкость %1 %</source>
        <translation>Volume %1 %</translation>
    </message>
</context>
<context>
    <name>PlaylistDurations</name>
    <message>
        <source>Треков: %1, %2</source>
        <translation>Tracks: %1, %2</translation>
    </message>
    <message>
        <source>Треков: %1</source>
        <translation>Tracks: %1</translation>
    </message>
</context>
<context>
    <name>PlaylistImport</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Плейлист %1 не импортирован: файл не удалось прочитать</source>
        <translation>The playlist %1 was not imported: the file could not be read</translation>
    </message>
    <message>
        <source>Плейлист %1 не импортирован: файл не удалось записать</source>
        <translation>The playlist %1 was not imported: the file could not be written</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Плейлист %1 не импортирован: ни одного его файла нет в медиатеке (не найдено: %2)</source>
        <translation>The playlist %1 was not imported: none of its files is in the library (not found: %2)</translation>
    </message>
    <message>
        <source>Плейлист «%1» сохранён. Импортировано: %2, не найдено: %3</source>
        <translation>The playlist “%1” was saved. Imported: %2, not found: %3</translation>
    </message>
</context>
<context>
    <name>PlaylistView</name>
    <message>
        <source>Играть</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Переместить выше</source>
        <translation>Move up</translation>
    </message>
    <message>
        <source>Переместить ниже</source>
        <translation>Move down</translation>
    </message>
    <message>
        <source>Убрать из плейлиста</source>
        <translation>Remove from the playlist</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Изменить</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Предыдущая</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Следующая</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Меню плейлиста</source>
        <translation>Playlist menu</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Плейлист пуст</source>
        <translation>The playlist is empty</translation>
    </message>
    <message>
        <source>Сохранить плейлист как...</source>
        <translation>Save playlist as...</translation>
    </message>
    <message>
        <source>Без названия</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>Очистить поле</source>
        <translation>Clear the field</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Позиция</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
</context>
<context>
    <name>PlaylistsView</name>
    <message>
        <source>Загрузить</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Плейлисты</source>
        <translation>Playlists</translation>
    </message>
    <message>
        <source>Нет сохранённых плейлистов</source>
        <translation>No saved playlists</translation>
    </message>
    <message>
        <source>Экспорт в M3U</source>
        <translation>Export to M3U</translation>
    </message>
    <message>
        <source>Экспорт в XSPF</source>
        <translation>Export to XSPF</translation>
    </message>
    <message>
        <source>Импортировать плейлист...</source>
        <translation>Import a playlist...</translation>
    </message>
</context>
<context>
    <name>ProgressOverlay</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Сервис недоступен</source>
        <translation>The service cannot be reached</translation>
    </message>
</context>
<context>
    <name>Queue</name>
    <message>
        <source>Объём данных, полученный с момента запуска приложения:

%.2f Мб (@ ~%.f Кбит/с)</source>
        <translation>Data received since the program started:

%.2f MB (@ ~%.f kbit/s)</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>обрыв связи, нажмите для запуска</source>
        <translation>connection lost, click to start</translation>
    </message>
    <message>
        <source>нажмите для запуска</source>
        <translation>click to start</translation>
    </message>
    <message>
        <source>сохранение запущено</source>
        <translation>saving started</translation>
    </message>
    <message>
        <source>сохранение завершено</source>
        <translation>saving finished</translation>
    </message>
    <message>
        <source>осталось %.2f Мб (всего %.2f Мб)</source>
        <translation>%.2f MB left (of %.2f MB)</translation>
    </message>
    <message>
        <source>Очередь аудиозаписей</source>
        <translation>Audio queue</translation>
    </message>
    <message>
        <source>Очередь видеозаписей</source>
        <translation>Video queue</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Нехватка оперативной памяти. Завершите все прочие приложения или перезагрузите устройство.</source>
        <translation>Out of memory. Close all other applications or restart the computer.</translation>
    </message>
    <message>
        <source>нет места на диске</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>нет доступа к папке</source>
        <translation>no access to the folder</translation>
    </message>
    <message>
        <source>ошибка записи файла</source>
        <translation>the file could not be written</translation>
    </message>
    <message>
        <source>ошибка сервера %1</source>
        <translation>server error %1</translation>
    </message>
    <message>
        <source>обрыв связи</source>
        <translation>connection lost</translation>
    </message>
    <message>
        <source>, нажмите для запуска</source>
        <translation>, click to start</translation>
    </message>
    <message>
        <source>неполный ответ сервера</source>
        <translation>incomplete answer from the server</translation>
    </message>
    <message>
        <source>нет ответа сервиса</source>
        <translation>no answer from the service</translation>
    </message>
    <message>
        <source>повтор %1 из %2</source>
        <translation>retry %1 of %2</translation>
    </message>
    <message>
        <source>%1 Мб/с</source>
        <translation>%1 MB/s</translation>
    </message>
    <message>
        <source>%1 Кб/с</source>
        <translation>%1 KB/s</translation>
    </message>
    <message>
        <source>%1, ещё %2</source>
        <translation>%1, %2 left</translation>
    </message>
    <message>
        <source>обрыв связи, повтор %1 из %2</source>
        <translation>connection lost, retry %1 of %2</translation>
    </message>
    <message>
        <source>Ожидает</source>
        <translation>Waiting</translation>
    </message>
</context>
<context>
    <name>QueueView</name>
    <message>
        <source>Начать загрузку</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>Убрать из очереди</source>
        <translation>Remove from the queue</translation>
    </message>
    <message>
        <source>Начать все</source>
        <translation>Start all</translation>
    </message>
    <message>
        <source>Убрать ожидающие</source>
        <translation>Remove waiting</translation>
    </message>
    <message>
        <source>Трафик</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>Показать в папке</source>
        <translation>Show in folder</translation>
    </message>
</context>
<context>
    <name>RepeatButton</name>
    <message>
        <source>Повтор: выключен</source>
        <translation>Repeat: off</translation>
    </message>
    <message>
        <source>Повтор: плейлист</source>
        <translation>Repeat: playlist</translation>
    </message>
    <message>
        <source>Повтор: трек</source>
        <translation>Repeat: track</translation>
    </message>
    <message>
        <source>Повтор</source>
        <translation>Repeat</translation>
    </message>
</context>
<context>
    <name>ResultsView</name>
    <message>
        <source>Найти</source>
        <translation>Search</translation>
    </message>
</context>
<context>
    <name>SavedPlaylists</name>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Плейлист не загружен: файл не удалось прочитать</source>
        <translation>The playlist was not loaded: the file could not be read</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Плейлист «%1» не загружен: файл не удалось прочитать. Он сохранён как %2.</source>
        <translation>The playlist “%1” was not loaded: the file could not be read. It was kept as %2.</translation>
    </message>
    <message>
        <source>Плейлист не экспортирован: файл не удалось прочитать</source>
        <translation>The playlist was not exported: its file could not be read</translation>
    </message>
    <message>
        <source>Плейлист не экспортирован: файл не удалось записать</source>
        <translation>The playlist was not exported: the file could not be written</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Плейлист сохранён в файл %1</source>
        <translation>The playlist was saved to the file %1</translation>
    </message>
    <message>
        <source>Импорт плейлиста</source>
        <translation>Import a playlist</translation>
    </message>
    <message>
        <source>Плейлисты (M3U, PLS, XSPF)</source>
        <translation>Playlists (M3U, PLS, XSPF)</translation>
    </message>
    <message>
        <source>Выбор файла недоступен: откройте плейлист в Melodrop из файлового менеджера или укажите его в командной строке</source>
        <translation>No file chooser is available: open the playlist with Melodrop from a file manager or give it on the command line</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>Не выбрано</source>
        <translation>None chosen</translation>
    </message>
    <message>
        <source>Выключено</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>По треку</source>
        <translation>Track</translation>
    </message>
    <message>
        <source>По альбому</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Как в системе</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Светлая</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>Тёмная</source>
        <translation>Dark</translation>
    </message>
    <message>
        <source>Папка документов</source>
        <translation>Documents folder</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Перенести документы?</source>
        <translation>Move the documents?</translation>
    </message>
    <message>
        <source>Все файлы программы будут перенесены из «%1» в «%2».</source>
        <translation>All of the program’s files will be moved from “%1” to “%2”.</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Перенести</source>
        <translation>Move</translation>
    </message>
    <message>
        <source>Эту папку уже использует другая запущенная копия программы.</source>
        <translation>Another running copy of the program already uses this folder.</translation>
    </message>
    <message>
        <source>Перенос документов...</source>
        <translation>Moving the documents...</translation>
    </message>
    <message>
        <source>%1 из %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Документы не перенесены</source>
        <translation>The documents were not moved</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Файлы</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Папка документов</source>
        <translation>Documents folder</translation>
    </message>
    <message>
        <source>Изменить…</source>
        <translation>Change…</translation>
    </message>
    <message>
        <source>Удалять в корзину</source>
        <translation>Delete to the trash</translation>
    </message>
    <message>
        <source>Удалённые файлы медиатеки можно вернуть</source>
        <translation>Deleted library files can be restored</translation>
    </message>
    <message>
        <source>Видео</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Качество по умолчанию</source>
        <translation>Default quality</translation>
    </message>
    <message>
        <source>Спрашивать качество каждый раз</source>
        <translation>Ask for the quality every time</translation>
    </message>
    <message>
        <source>Воспроизведение</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>Пауза при отключении наушников</source>
        <translation>Pause when headphones are unplugged</translation>
    </message>
    <message>
        <source>Уведомлять о смене трека</source>
        <translation>Notify on track change</translation>
    </message>
    <message>
        <source>Название, исполнитель и обложка в уведомлении рабочего стола</source>
        <translation>Title, artist and cover in a desktop notification</translation>
    </message>
    <message>
        <source>Выравнивание громкости (ReplayGain)</source>
        <translation>Volume levelling (ReplayGain)</translation>
    </message>
    <message>
        <source>Вход и меню</source>
        <translation>Sign-in and menus</translation>
    </message>
    <message>
        <source>Входить автоматически</source>
        <translation>Sign in automatically</translation>
    </message>
    <message>
        <source>При запуске — с сохранёнными e-mail и паролем</source>
        <translation>At start, with the saved e-mail and password</translation>
    </message>
    <message>
        <source>Считать аудиофайлы в меню</source>
        <translation>Count audio files in the menu</translation>
    </message>
    <message>
        <source>Считать видеофайлы в меню</source>
        <translation>Count video files in the menu</translation>
    </message>
    <message>
        <source>Оформление</source>
        <translation>Appearance</translation>
    </message>
    <message>
        <source>Цветовая схема</source>
        <translation>Colour scheme</translation>
    </message>
    <message>
        <source>Новая папка документов</source>
        <translation>New documents folder</translation>
    </message>
</context>
<context>
    <name>Shell</name>
    <message>
        <source>Загрузки ещё идут. Выйти?</source>
        <translation>Downloads are still running. Quit?</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Выйти</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Песочница %1 — %2</source>
        <translation>Sandbox %1 — %2</translation>
    </message>
</context>
<context>
    <name>ShuffleButton</name>
    <message>
        <source>Случайный порядок</source>
        <translation>Shuffle</translation>
    </message>
    <message>
        <source>Случайный порядок: включён</source>
        <translation>Shuffle: on</translation>
    </message>
    <message>
        <source>Случайный порядок: выключен</source>
        <translation>Shuffle: off</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Разделы</source>
        <translation>Sections</translation>
    </message>
    <message>
        <source>Ctrl+1…4 — разделы, Ctrl+, — настройки, Ctrl+F — поиск, Пробел — пауза</source>
        <translation>Ctrl+1…4: sections, Ctrl+,: settings, Ctrl+F: search, Space: pause</translation>
    </message>
</context>
<context>
    <name>VideoPlayerView</name>
    <message>
        <source>Видеоплеер</source>
        <translation>Video player</translation>
    </message>
    <message>
        <source>Изображение недоступно: нужен вывод через OpenGL</source>
        <translation>No picture: OpenGL output is needed</translation>
    </message>
    <message>
        <source>Загрузка...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>Готово</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Закрыть видео</source>
        <translation>Close the video</translation>
    </message>
    <message>
        <source>Начать сначала</source>
        <translation>Start again</translation>
    </message>
    <message>
        <source>Выйти из полноэкранного режима</source>
        <translation>Leave full screen</translation>
    </message>
    <message>
        <source>Во весь экран</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Играть</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Позиция</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Видео показывается на втором экране</source>
        <translation>The video is shown on the second display</translation>
    </message>
    <message>
        <source>Melodrop — видео</source>
        <translation>Melodrop: video</translation>
    </message>
    <message>
        <source>Включить звук</source>
        <translation>Unmute</translation>
    </message>
    <message>
        <source>Выключить звук</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Громкость</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Громкость %1 %</source>
        <translation>Volume %1 %</translation>
    </message>
</context>
<context>
    <name>VideoResults</name>
    <message>
        <source>Качество 240</source>
        <translation>Quality 240</translation>
    </message>
    <message>
        <source>Качество 360</source>
        <translation>Quality 360</translation>
    </message>
    <message>
        <source>Качество 480</source>
        <translation>Quality 480</translation>
    </message>
    <message>
        <source>Качество 720</source>
        <translation>Quality 720</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ID пользователя (ваш - неизвестен)</source>
        <translation>User ID (yours: unknown)</translation>
    </message>
    <message>
        <source>ID пользователя (ваш - %1)</source>
        <translation>User ID (yours: %1)</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не выполнен вход</source>
        <translation>Not signed in</translation>
    </message>
    <message>
        <source>Выполняется поиск...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Завершено</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>Найдено видеозаписей: %1</source>
        <translation>Videos found: %1</translation>
    </message>
    <message>
        <source>Добавление записей...</source>
        <translation>Adding records...</translation>
    </message>
    <message>
        <source>Поиск ссылки...</source>
        <translation>Looking for the link...</translation>
    </message>
    <message>
        <source>Файл не на сервере ВКонтакте</source>
        <translation>The file is not on the VKontakte servers</translation>
    </message>
    <message>
        <source>Файлы формата FLV не поддерживаются</source>
        <translation>FLV files are not supported</translation>
    </message>
    <message>
        <source>Уведомление</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>Запись добавлена в очередь</source>
        <translation>Added to the queue</translation>
    </message>
    <message>
        <source>Видео недоступно</source>
        <translation>The video is not available</translation>
    </message>
    <message>
        <source>Выберите качество</source>
        <translation>Choose the quality</translation>
    </message>
</context>
<context>
    <name>VideoResultsView</name>
    <message>
        <source>Смотреть</source>
        <translation>Watch</translation>
    </message>
    <message>
        <source>В очередь загрузок</source>
        <translation>Add to downloads</translation>
    </message>
    <message>
        <source>Видео</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>Свои</source>
        <translation>Mine</translation>
    </message>
    <message>
        <source>Качество</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>Порядок</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>Лучшие</source>
        <translation>Best</translation>
    </message>
    <message>
        <source>Длинные</source>
        <translation>Longest</translation>
    </message>
    <message>
        <source>Новые</source>
        <translation>Newest</translation>
    </message>
    <message>
        <source>Название видеозаписи</source>
        <translation>Video title</translation>
    </message>
    <message>
        <source>ID группы</source>
        <translation>Community ID</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Нет записей</source>
        <translation>Nothing here</translation>
    </message>
</context>
<context>
    <name>VideoTab</name>
    <message>
        <source>Видео</source>
        <translation>Video</translation>
    </message>
</context>
<context>
    <name>Video_Library</name>
    <message>
        <source>Предупреждение</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Вы уверены, что хотите удалить все файлы из медиатеки? Учтите, они также будут удалены из памяти устройства.</source>
        <translation>Are you sure you want to delete all files from the library? They will be deleted from this computer as well.</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
</context>
<context>
    <name>Video_Player</name>
    <message>
        <source>Не удалось воспроизвести видео</source>
        <translation>Could not play the video</translation>
    </message>
</context>
</TS>
