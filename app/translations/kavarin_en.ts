<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ComputerMatch</name>
    <message>
        <source>Kavarin - コンピュータと対戦 (レベル 1: やさしい)</source>
        <translation>Kavarin - against the computer (level 1: easy)</translation>
    </message>
    <message>
        <source>Kavarin - コンピュータと対戦 (レベル 2: ふつう)</source>
        <translation>Kavarin - against the computer (level 2: fair)</translation>
    </message>
    <message>
        <source>Kavarin - コンピュータと対戦 (レベル 3: つよい)</source>
        <translation>Kavarin - against the computer (level 3: strong)</translation>
    </message>
    <message>
        <source>コンピュータ</source>
        <translation>Computer</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>off</translation>
    </message>
    <message>
        <source>レベル 1: やさしい</source>
        <translation>level 1: easy</translation>
    </message>
    <message>
        <source>レベル 2: ふつう</source>
        <translation>level 2: fair</translation>
    </message>
    <message>
        <source>レベル 3: つよい</source>
        <translation>level 3: strong</translation>
    </message>
</context>
<context>
    <name>OnlineMatch</name>
    <message>
        <source>Kavarin - ポート %1 で対戦相手を待っています</source>
        <translation>Kavarin - waiting for the other player on port %1</translation>
    </message>
    <message>
        <source>Kavarin - 対戦相手と接続しました</source>
        <translation>Kavarin - connected to the other player</translation>
    </message>
    <message>
        <source>Kavarin - 対戦相手と接続中 (往復 %1 ms)</source>
        <translation>Kavarin - connected to the other player (round trip %1 ms)</translation>
    </message>
    <message>
        <source>Kavarin - 対戦相手が退出しました</source>
        <translation>Kavarin - the other player has left</translation>
    </message>
    <message>
        <source>Kavarin - 対戦相手との接続が切れました</source>
        <translation>Kavarin - the connection to the other player was lost</translation>
    </message>
    <message>
        <source>Kavarin - 対戦を中止しました</source>
        <translation>Kavarin - the match was stopped</translation>
    </message>
    <message>
        <source>Kavarin - 対戦が終わりました</source>
        <translation>Kavarin - the match is over</translation>
    </message>
    <message>
        <source>対戦相手に接続できませんでした。
相手のアドレスとポート番号を確かめてください。</source>
        <translation>Could not connect to the other player.
Check the other player&apos;s address and port number.</translation>
    </message>
    <message>
        <source>対戦相手がゲームを終了しました。
オンライン対戦を終わります。</source>
        <translation>The other player has left the game.
The online match ends here.</translation>
    </message>
    <message>
        <source>対戦相手から 5 秒以上応答がありません。
接続が切れたため、オンライン対戦を終わります。</source>
        <translation>Nothing has come from the other player for over 5 seconds.
The connection is lost, so the online match ends here.</translation>
    </message>
    <message>
        <source>二台のゲームの進行が食い違ったため、オンライン対戦を中止しました。
両方の記録ファイルを不具合の報告に添えてください。</source>
        <translation>The games on the two machines went different ways, so the online match was stopped.
Please attach both record files to a bug report.</translation>
    </message>
    <message>
        <source>オンライン対戦が終わりました。</source>
        <translation>The online match is over.</translation>
    </message>
    <message>
        <source>記録ファイルを書けませんでした: %1</source>
        <translation>Could not write the record file: %1</translation>
    </message>
    <message>
        <source>記録ファイル: %1</source>
        <translation>Record file: %1</translation>
    </message>
    <message>
        <source>Kavarin - %1 に接続中 (%2 秒)</source>
        <translation>Kavarin - connecting to %1 (%2 s)</translation>
    </message>
    <message>
        <source>%1 / ポート %2 で次の対戦相手を待っています</source>
        <translation>%1 / waiting for the next player on port %2</translation>
    </message>
    <message>
        <source>Kavarin - 接続できませんでした</source>
        <translation>Kavarin - could not connect</translation>
    </message>
    <message>
        <source>対戦相手を待ち直せませんでした: %1</source>
        <translation>Could not wait for another player: %1</translation>
    </message>
    <message>
        <source>対戦が始まる前に対戦相手との接続が切れました。</source>
        <translation>The other player&apos;s connection was lost before the match began.</translation>
    </message>
    <message>
        <source>次の対戦相手を待っています。</source>
        <translation>Waiting for the next player.</translation>
    </message>
    <message>
        <source>F2 キーでもう一度接続します。</source>
        <translation>Press F2 to connect again.</translation>
    </message>
    <message>
        <source>Kavarin - ロビー %1 に問い合わせ中</source>
        <translation>Kavarin - asking the lobby %1</translation>
    </message>
    <message>
        <source>Kavarin - ルーム %1 で待機中</source>
        <translation>Kavarin - room %1, waiting</translation>
    </message>
    <message>
        <source>Kavarin - 中継サーバー経由で対戦中 (往復 %1 ms)</source>
        <translation>Kavarin - playing through a relay (round trip %1 ms)</translation>
    </message>
    <message>
        <source>（ルーターに転送を依頼中）</source>
        <translation> (asking the router to forward the port)</translation>
    </message>
    <message>
        <source>（ルーターが %1 を転送中、%2）</source>
        <translation> (the router forwards %1, %2)</translation>
    </message>
    <message>
        <source>（ルーターが転送を断りました）</source>
        <translation> (the router refused to forward the port)</translation>
    </message>
    <message>
        <source>（ルーターは UPnP にも NAT-PMP にも応じません）</source>
        <translation> (the router answers neither UPnP nor NAT-PMP)</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>ゲーム(&amp;G)</source>
        <translation>&amp;Game</translation>
    </message>
    <message>
        <source>開始(&amp;S)</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>？(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>遊び方(&amp;P)</source>
        <translation>How to &amp;Play</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報(&amp;A)</source>
        <translation>&amp;About Kavarin</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Kavarin</translation>
    </message>
    <message>
        <source>Kavarin for Windows95</source>
        <translation>Kavarin for Windows95</translation>
    </message>
    <message>
        <source>Version 0.970819ot</source>
        <translation>Version 0.970819ot</translation>
    </message>
    <message>
        <source>(音付きﾊﾞｰｼﾞｮﾝ）</source>
        <translation>(with sound)</translation>
    </message>
    <message>
        <source>自由に遊んで配ってください。</source>
        <translation>Play it and share it freely.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TForm3</name>
    <message>
        <source>遊び方</source>
        <translation>How to Play</translation>
    </message>
    <message>
        <source>２人対戦専用のシューティングゲームです。</source>
        <translation>A shooting game for two players only.</translation>
    </message>
    <message>
        <source>撃ち合って相手の宇宙船を破壊してください。</source>
        <translation>Shoot it out: destroy the other&apos;s ship.</translation>
    </message>
    <message>
        <source>どちらか一方、または両方が破壊されると</source>
        <translation>When one ship or both are destroyed,</translation>
    </message>
    <message>
        <source>ゲームは一時中断し、得点を表示します。</source>
        <translation>the game pauses and shows the score.</translation>
    </message>
    <message>
        <source>このとき</source>
        <translation>Then press</translation>
    </message>
    <message>
        <source>スペースキー</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>を押せばゲームは続行されます。</source>
        <translation>to go on with the game.</translation>
    </message>
    <message>
        <source>どちらか一方、または両方が</source>
        <translation>When one or both reach</translation>
    </message>
    <message>
        <source>３ポイント</source>
        <translation>3 points</translation>
    </message>
    <message>
        <source>になったところでゲームオーバーとなります。</source>
        <translation>the game is over.</translation>
    </message>
    <message>
        <source>操作方法</source>
        <translation>Controls</translation>
    </message>
    <message>
        <source>左側</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>右側</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>”Ａ”－上方移動</source>
        <translation>&quot;A&quot; - move up</translation>
    </message>
    <message>
        <source>上方移動－”］”(む)</source>
        <translation>move up - &quot;]&quot;(む)</translation>
    </message>
    <message>
        <source>”Ｓ”－光線発射</source>
        <translation>&quot;S&quot; - fire beam</translation>
    </message>
    <message>
        <source>光線発射－”：”(け)</source>
        <translation>fire beam - &quot;:&quot;(け)</translation>
    </message>
    <message>
        <source>”Ｘ”－下方移動</source>
        <translation>&quot;X&quot; - move down</translation>
    </message>
    <message>
        <source>下方移動－”／”(め)</source>
        <translation>move down - &quot;/&quot;(め)</translation>
    </message>
    <message>
        <source>”スペース”・・・超新星爆発・・・”スペース”</source>
        <translation>&quot;Space&quot; ... supernova ... &quot;Space&quot;</translation>
    </message>
</context>
</TS>
