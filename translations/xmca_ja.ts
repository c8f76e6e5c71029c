<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja" sourcelanguage="en">
<context>
    <name>ActivityPage</name>
    <message>
        <source>spectrum(*.dat)</source>
        <translation>スペクトル(*.dat)</translation>
    </message>
    <message>
        <source>u(k=1)</source>
        <translation>u(k=1)</translation>
    </message>
    <message>
        <source>sd</source>
        <translation>sd</translation>
    </message>
    <message>
        <source>Method: Re Calic, baseline subtracted</source>
        <translation>方法: 再計算 (ベースライン差引き)</translation>
    </message>
    <message>
        <source>Method: Bq Calic, no baseline</source>
        <translation>方法: Bq計算 (ベースラインなし)</translation>
    </message>
    <message>
        <source>Sample: %1</source>
        <translation>試料: %1</translation>
    </message>
    <message>
        <source>BG: %1</source>
        <translation>BG: %1</translation>
    </message>
    <message>
        <source>count the background longer</source>
        <translation>バックグラウンドを長く測定</translation>
    </message>
</context>
<context>
    <name>AnalyserSession</name>
    <message>
        <source>Analyser opened</source>
        <translation>分析器に接続しました</translation>
    </message>
    <message>
        <source>No analyser found</source>
        <translation>分析器が見つかりません</translation>
    </message>
    <message>
        <source>Run started</source>
        <translation>測定開始</translation>
    </message>
    <message>
        <source>Run stopped</source>
        <translation>測定停止</translation>
    </message>
    <message>
        <source>Run finished at the preset</source>
        <translation>プリセット時間で測定終了</translation>
    </message>
    <message>
        <source>The analyser did not start counting.</source>
        <translation>分析器が計数を開始しませんでした。</translation>
    </message>
    <message>
        <source>The analyser could not be opened.</source>
        <translation>分析器を開けませんでした。</translation>
    </message>
    <message>
        <source>The analyser refused the counting time.</source>
        <translation>分析器が計数時間を受け付けませんでした。</translation>
    </message>
</context>
<context>
    <name>FrameRenderer</name>
    <message>
        <source>sd</source>
        <translation>sd</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>Record</source>
        <translation>記録</translation>
    </message>
    <message>
        <source>Sample ID</source>
        <translation>試料ID</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>品目</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>産地</translation>
    </message>
    <message>
        <source>Mass (kg)</source>
        <translation>質量 (kg)</translation>
    </message>
    <message>
        <source>Cs-All (Bq/kg)</source>
        <translation>Cs-All (Bq/kg)</translation>
    </message>
    <message>
        <source>Detection limit</source>
        <translation>検出限界</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>測定者</translation>
    </message>
    <message>
        <source>SIMULATED</source>
        <translation>シミュレーション</translation>
    </message>
    <message>
        <source>corrects %1</source>
        <translation>記録 %1 を訂正</translation>
    </message>
    <message>
        <source>superseded by %1</source>
        <translation>記録 %1 で訂正済み</translation>
    </message>
    <message>
        <source>Recorded (local time)</source>
        <translation>記録日時 (現地時刻)</translation>
    </message>
    <message>
        <source>Correction</source>
        <translation>訂正</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>測定方法</translation>
    </message>
</context>
<context>
    <name>HistoryPage</name>
    <message>
        <source>YYYY-MM-DD</source>
        <translation>YYYY-MM-DD</translation>
    </message>
    <message>
        <source>all</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>All verdicts</source>
        <translation>すべての判定</translation>
    </message>
    <message>
        <source>Below screening level</source>
        <translation>スクリーニングレベル未満</translation>
    </message>
    <message>
        <source>Above screening level</source>
        <translation>スクリーニングレベル超過</translation>
    </message>
    <message>
        <source>Lower limit not met</source>
        <translation>測定下限値未達</translation>
    </message>
    <message>
        <source>No verdict</source>
        <translation>判定保留</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>表示</translation>
    </message>
    <message>
        <source>From</source>
        <translation>期間</translation>
    </message>
    <message>
        <source>to</source>
        <translation>～</translation>
    </message>
    <message>
        <source>Installation</source>
        <translation>装置</translation>
    </message>
    <message>
        <source>Open spectra</source>
        <translation>スペクトルを開く</translation>
    </message>
    <message>
        <source>Print report again</source>
        <translation>報告書を再印刷</translation>
    </message>
    <message>
        <source>Correct...</source>
        <translation>訂正...</translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation>CSV 書出し...</translation>
    </message>
    <message>
        <source>Select a record first.</source>
        <translation>先に記録を選択してください。</translation>
    </message>
    <message>
        <source>Dates: enter YYYY-MM-DD.</source>
        <translation>日付: YYYY-MM-DD で入力してください。</translation>
    </message>
    <message>
        <source>The register cannot be read: %1</source>
        <translation>記録簿を読めません: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n record(s)</source>
        <translation>
            <numerusform>%n 件</numerusform>
        </translation>
    </message>
    <message>
        <source>The sample spectrum %1 is no longer there.</source>
        <translation>試料スペクトル %1 が見つかりません。</translation>
    </message>
    <message>
        <source>Opened %1</source>
        <translation>%1 を開きました</translation>
    </message>
    <message>
        <source>Report of record %1 delivered</source>
        <translation>記録 %1 の報告書を出力しました</translation>
    </message>
    <message>
        <source>Export records as CSV</source>
        <translation>記録を CSV に書出し</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>%1 could not be written.</source>
        <translation>%1 に書き込めませんでした。</translation>
    </message>
    <message numerus="yes">
        <source>Exported %n record(s) to %1</source>
        <translation>
            <numerusform>%n 件を %1 に書き出しました</numerusform>
        </translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 を保存しました</translation>
    </message>
    <message>
        <source>Reading the register...</source>
        <translation>記録簿を読み込んでいます...</translation>
    </message>
    <message>
        <source>part of the ID</source>
        <translation>IDの一部</translation>
    </message>
    <message>
        <source>Lists every record whose sample ID contains this text (letters in either case)</source>
        <translation>試料IDにこの文字列を含むすべての記録を表示します (英字の大文字・小文字は区別しません)</translation>
    </message>
    <message>
        <source>Sample ID contains</source>
        <translation>試料ID (部分一致)</translation>
    </message>
</context>
<context>
    <name>MethodDialog</name>
    <message>
        <source>Methods</source>
        <translation>測定方法</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>バージョン</translation>
    </message>
    <message>
        <source>Calibrated</source>
        <translation>校正日</translation>
    </message>
    <message>
        <source>Geometry</source>
        <translation>測定容器・形状</translation>
    </message>
    <message>
        <source>Mass range (kg)</source>
        <translation>質量範囲 (kg)</translation>
    </message>
    <message>
        <source>Cs-134</source>
        <translation>Cs-134</translation>
    </message>
    <message>
        <source>Counts per second per Bq of each nuclide (columns) in each window (rows), with u</source>
        <translation>各核種 (列) 1 Bq あたりの各ウィンドウ (行) の計数率 (cps) と u</translation>
    </message>
    <message>
        <source>Response (counts/s per Bq, u in brackets)</source>
        <translation>応答 (cps/Bq、括弧内は u)</translation>
    </message>
    <message>
        <source>Set as default</source>
        <translation>既定にする</translation>
    </message>
    <message>
        <source>Use the fixed factors</source>
        <translation>固定換算係数を使う</translation>
    </message>
    <message>
        <source>Correct figures to the sampling date</source>
        <translation>採取日に減衰補正する</translation>
    </message>
    <message>
        <source>Calibrate a method</source>
        <translation>測定方法を校正</translation>
    </message>
    <message>
        <source>e.g. 1 L Marinelli, filled to the mark</source>
        <translation>例: 1 L マリネリ容器、標線まで充填</translation>
    </message>
    <message>
        <source>nominal +/- 15 %</source>
        <translation>公称値 ±15 %</translation>
    </message>
    <message>
        <source>Nominal mass (kg)</source>
        <translation>公称質量 (kg)</translation>
    </message>
    <message>
        <source>Mass range (kg, LO-HI)</source>
        <translation>質量範囲 (kg, 下限-上限)</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>選択...</translation>
    </message>
    <message>
        <source>Spectrum file</source>
        <translation>スペクトルファイル</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>バックグラウンド</translation>
    </message>
    <message>
        <source>Standard file</source>
        <translation>標準線源のファイル</translation>
    </message>
    <message>
        <source>Certified Bq</source>
        <translation>認証値 (Bq)</translation>
    </message>
    <message>
        <source>Reference date</source>
        <translation>基準日</translation>
    </message>
    <message>
        <source>u (%)</source>
        <translation>u (%)</translation>
    </message>
    <message>
        <source>none (KCl: 16.3 Bq per g)</source>
        <translation>不要 (KCl: 1 g あたり 16.3 Bq)</translation>
    </message>
    <message>
        <source>YYYY-MM-DD</source>
        <translation>YYYY-MM-DD</translation>
    </message>
    <message>
        <source>Calibrate and record</source>
        <translation>校正して登録</translation>
    </message>
    <message>
        <source>The register cannot be read: %1</source>
        <translation>記録簿を読めません: %1</translation>
    </message>
    <message>
        <source>assumed</source>
        <translation>仮定</translation>
    </message>
    <message>
        <source>measured</source>
        <translation>実測</translation>
    </message>
    <message>
        <source>In force: the fixed factors (factory)</source>
        <translation>使用中: 固定換算係数 (factory)</translation>
    </message>
    <message>
        <source>In force: %1 (its newest version)</source>
        <translation>使用中: %1 (最新版)</translation>
    </message>
    <message>
        <source>Name the method (not &quot;factory&quot;).</source>
        <translation>測定方法の名称を入力してください (&quot;factory&quot; 以外)。</translation>
    </message>
    <message>
        <source>Enter the nominal mass in kg.</source>
        <translation>公称質量を kg で入力してください。</translation>
    </message>
    <message>
        <source>The mass range must read LO-HI and hold the nominal mass.</source>
        <translation>質量範囲は「下限-上限」で、公称質量を含めてください。</translation>
    </message>
    <message>
        <source>Enter the %1 standard&apos;s certified Bq and its u in %.</source>
        <translation>%1 標準線源の認証値 (Bq) と u (%) を入力してください。</translation>
    </message>
    <message>
        <source>The method was not recorded: %1</source>
        <translation>測定方法を登録できませんでした: %1</translation>
    </message>
    <message>
        <source>Recorded %1 version %2.</source>
        <translation>%1 第 %2 版を登録しました。</translation>
    </message>
    <message>
        <source>Cs-134 response assumed (no Cs-134 standard).</source>
        <translation>Cs-134 の応答は仮定値です (Cs-134 標準線源なし)。</translation>
    </message>
    <message>
        <source>Choose a method first.</source>
        <translation>先に測定方法を選んでください。</translation>
    </message>
    <message>
        <source>The settings could not be saved.</source>
        <translation>設定を保存できませんでした。</translation>
    </message>
    <message>
        <source>Recording the method in the register...</source>
        <translation>測定方法を記録簿に記録しています...</translation>
    </message>
</context>
<context>
    <name>PageDialogs</name>
    <message>
        <source>Spectrum (*.dat)</source>
        <translation>スペクトル (*.dat)</translation>
    </message>
</context>
<context>
    <name>QcChart</name>
    <message>
        <source>Peak channel</source>
        <translation>ピークチャンネル</translation>
    </message>
    <message>
        <source>FWHM (%)</source>
        <translation>半値幅 (%)</translation>
    </message>
    <message>
        <source>Net rate (cps)</source>
        <translation>正味計数率 (cps)</translation>
    </message>
</context>
<context>
    <name>QcPage</name>
    <message>
        <source>peak channel</source>
        <translation>ピークチャンネル</translation>
    </message>
    <message>
        <source>FWHM</source>
        <translation>半値幅</translation>
    </message>
    <message>
        <source>net rate</source>
        <translation>正味計数率</translation>
    </message>
    <message>
        <source>%1 %2 sd from the mean</source>
        <translation>%1 が平均から %2 sd</translation>
    </message>
    <message>
        <source>peak shift %1 %</source>
        <translation>ピーク位置のずれ %1 %</translation>
    </message>
    <message>
        <source>net rate change %1 %</source>
        <translation>正味計数率の変化 %1 %</translation>
    </message>
    <message>
        <source>a figure is not a number</source>
        <translation>数値でない値があります</translation>
    </message>
    <message>
        <source>Check source</source>
        <translation>点検線源</translation>
    </message>
    <message>
        <source>Counting time (s)</source>
        <translation>計数時間 (秒)</translation>
    </message>
    <message>
        <source>Acquire check source</source>
        <translation>点検線源を測定</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Read check spectrum...</source>
        <translation>点検スペクトル読込...</translation>
    </message>
    <message>
        <source>none: the net rate is the gross rate</source>
        <translation>なし (全計数率を使用)</translation>
    </message>
    <message>
        <source>Background...</source>
        <translation>バックグラウンド...</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>バックグラウンド</translation>
    </message>
    <message>
        <source>Last QC run</source>
        <translation>最新の QC 結果</translation>
    </message>
    <message>
        <source>QC settings</source>
        <translation>QC 設定</translation>
    </message>
    <message>
        <source>Runs in a new baseline</source>
        <translation>基準を作る測定回数</translation>
    </message>
    <message>
        <source>Withhold verdicts until a QC run passed today</source>
        <translation>本日の QC 合格まで判定を保留</translation>
    </message>
    <message>
        <source>Start a new baseline</source>
        <translation>新しい基準を開始</translation>
    </message>
    <message>
        <source>After a recalibration: the next runs form new control limits; the old ones stay in the register.</source>
        <translation>再校正の後に: 以降の測定で新しい管理限界を作ります。以前の基準は記録簿に残ります。</translation>
    </message>
    <message>
        <source>No QC run yet</source>
        <translation>QC 測定なし</translation>
    </message>
    <message>
        <source>The QC settings could not be saved.</source>
        <translation>QC 設定を保存できませんでした。</translation>
    </message>
    <message>
        <source>The register %1 cannot be used: %2</source>
        <translation>記録簿 %1 を使用できません: %2</translation>
    </message>
    <message>
        <source>Screening verdicts withheld: %1</source>
        <translation>スクリーニング判定を保留中: %1</translation>
    </message>
    <message>
        <source>Latest run %1 (%2): %3</source>
        <translation>最新の測定 %1 (%2): %3</translation>
    </message>
    <message>
        <source>Open background spectrum</source>
        <translation>バックグラウンドスペクトルを開く</translation>
    </message>
    <message>
        <source>Open check-source spectrum</source>
        <translation>点検線源スペクトルを開く</translation>
    </message>
    <message>
        <source>Counting time: enter seconds, e.g. 300.</source>
        <translation>計数時間: 秒で入力してください (例 300)。</translation>
    </message>
    <message>
        <source>Counting the check source for %1 s...</source>
        <translation>点検線源を %1 秒測定中...</translation>
    </message>
    <message>
        <source>Stopped before the preset: the run is not recorded.</source>
        <translation>プリセット前に停止: この測定は記録されません。</translation>
    </message>
    <message>
        <source>The spectrum could not be saved in %1.</source>
        <translation>スペクトルを %1 に保存できませんでした。</translation>
    </message>
    <message>
        <source>The run could not be recorded: %1</source>
        <translation>測定を記録できませんでした: %1</translation>
    </message>
    <message>
        <source>Recorded QC run %1 (%2)</source>
        <translation>QC 測定 %1 を記録しました (%2)</translation>
    </message>
    <message>
        <source>The new baseline could not be recorded: %1</source>
        <translation>新しい基準を記録できませんでした: %1</translation>
    </message>
    <message numerus="yes">
        <source>New baseline started: the next %n run(s) form its control limits.</source>
        <translation>
            <numerusform>新しい基準を開始: 以降 %n 回の測定で管理限界を作ります。</numerusform>
        </translation>
    </message>
    <message>
        <source>Baseline run %1 of %2</source>
        <translation>基準測定 %1 / %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Action: recalibrate, then start a new baseline</source>
        <translation>要処置: 再校正し、新しい基準を開始</translation>
    </message>
    <message>
        <source>Background: %1 cps</source>
        <translation>バックグラウンド: %1 cps</translation>
    </message>
    <message>
        <source>Background: none</source>
        <translation>バックグラウンド: なし</translation>
    </message>
    <message>
        <source>%1 %2 runs in a row above the mean</source>
        <translation>%1 が %2 回連続で平均より上</translation>
    </message>
    <message>
        <source>%1 %2 runs in a row below the mean</source>
        <translation>%1 が %2 回連続で平均より下</translation>
    </message>
    <message>
        <source>peak channel %1 outside the middle half of the Cs window (%2-%3)</source>
        <translation>ピークチャンネル %1 が Cs ウィンドウの中央半分 (%2-%3) の外</translation>
    </message>
    <message>
        <source>%1 % of the 662 keV line outside the Cs window</source>
        <translation>662 keV ピークの %1 % が Cs ウィンドウの外</translation>
    </message>
    <message>
        <source>baseline scatter of %1 exceeds counting statistics (chi-square %2 for %3 degrees of freedom, p = %4)</source>
        <translation>基準の %1 のばらつきが計数統計を超えています (カイ二乗 %2、自由度 %3、p = %4)</translation>
    </message>
    <message>
        <source>baseline runs recorded without their counting scatter: start a new baseline</source>
        <translation>計数統計のばらつきのない基準測定です: 新しい基準を開始してください</translation>
    </message>
    <message>
        <source>Detector: %1</source>
        <translation>検出器: %1</translation>
    </message>
    <message>
        <source>Detector: %1 (installation now named %2)</source>
        <translation>検出器: %1 (装置の現在の名称 %2)</translation>
    </message>
    <message numerus="yes">
        <source>Start a new baseline for the detector %1?

Do this only after the detector was recalibrated: the next %n run(s) form new control limits, and a QC lock-out of the old baseline is lifted.</source>
        <translation>
            <numerusform>検出器 %1 の新しい基準を開始しますか?

検出器を再校正した後にのみ行ってください: 以降 %n 回の測定で新しい管理限界を作り、古い基準による QC の判定保留は解除されます。</numerusform>
        </translation>
    </message>
    <message>
        <source>New baseline: no run yet</source>
        <translation>新しい基準: 測定なし</translation>
    </message>
    <message>
        <source>Baseline run %1 of %2: the baseline is accepted</source>
        <translation>基準測定 %1 / %2: 基準が確定しました</translation>
    </message>
    <message>
        <source>Baseline run %1 (%2 needed): the baseline goes on</source>
        <translation>基準測定 %1 (必要 %2 回): 基準の測定を続けます</translation>
    </message>
    <message>
        <source>Peak channel: %1 +/- %2   FWHM: %3 +/- %4 %
Net rate: %5 +/- %6 cps (decay-corrected %7 cps)</source>
        <translation>ピークチャンネル: %1 ± %2   半値幅: %3 ± %4 %
正味計数率: %5 ± %6 cps (減衰補正後 %7 cps)</translation>
    </message>
    <message>
        <source>Baseline (%1 run(s)): peak %2, sigma %3; FWHM %4 %, sigma %5; net rate %6 cps, sigma %7</source>
        <translation>基準 (%1 回): ピーク %2、σ %3; 半値幅 %4 %、σ %5; 正味計数率 %6 cps、σ %7</translation>
    </message>
</context>
<context>
    <name>RegisterQueueStatus</name>
    <message numerus="yes">
        <source>%n record(s) wait for the register server</source>
        <translation>
            <numerusform>記録サーバー待ち %n 件</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n record(s) refused by the register server and set aside: not in the register (mcatool register queue lists them)</source>
        <translation>
            <numerusform>記録簿サーバーに拒否され保留された記録 %n 件: 記録簿に入っていません (mcatool register queue で一覧できます)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ScreeningPage</name>
    <message>
        <source>1. Background</source>
        <translation>1. バックグラウンド</translation>
    </message>
    <message>
        <source>Acquire background</source>
        <translation>バックグラウンドを測定</translation>
    </message>
    <message>
        <source>Choose background file...</source>
        <translation>バックグラウンドファイルを選択...</translation>
    </message>
    <message>
        <source>Counting time (s)</source>
        <translation>計数時間 (秒)</translation>
    </message>
    <message>
        <source>2. Sample</source>
        <translation>2. 試料</translation>
    </message>
    <message>
        <source>e.g. rice-0412</source>
        <translation>例 rice-0412</translation>
    </message>
    <message>
        <source>kg, e.g. 0.8</source>
        <translation>kg、例 0.8</translation>
    </message>
    <message>
        <source>YYYY-MM-DD</source>
        <translation>YYYY-MM-DD</translation>
    </message>
    <message>
        <source>Sample ID</source>
        <translation>試料ID</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>品目</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>産地</translation>
    </message>
    <message>
        <source>Mass (kg)</source>
        <translation>質量 (kg)</translation>
    </message>
    <message>
        <source>Sampling date</source>
        <translation>採取日</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>測定者</translation>
    </message>
    <message>
        <source>Acquire sample</source>
        <translation>試料を測定</translation>
    </message>
    <message>
        <source>Choose sample file...</source>
        <translation>試料ファイルを選択...</translation>
    </message>
    <message>
        <source>Sample file</source>
        <translation>試料ファイル</translation>
    </message>
    <message>
        <source>Stop counting</source>
        <translation>計数停止</translation>
    </message>
    <message>
        <source>Laboratory settings...</source>
        <translation>検査機関の設定...</translation>
    </message>
    <message>
        <source>3. Result</source>
        <translation>3. 結果</translation>
    </message>
    <message>
        <source>Evaluate</source>
        <translation>評価</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>記録</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>印刷</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>放射能濃度</translation>
    </message>
    <message>
        <source>u</source>
        <translation>u</translation>
    </message>
    <message>
        <source>Decision threshold</source>
        <translation>決定しきい値</translation>
    </message>
    <message>
        <source>Detection limit</source>
        <translation>検出限界</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>単位</translation>
    </message>
    <message>
        <source>Open background spectrum</source>
        <translation>バックグラウンドスペクトルを開く</translation>
    </message>
    <message>
        <source>Open sample spectrum</source>
        <translation>試料スペクトルを開く</translation>
    </message>
    <message>
        <source>Counted on %1</source>
        <translation>%1 に測定</translation>
    </message>
    <message>
        <source>Date unknown</source>
        <translation>測定日不明</translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) old: count a new background</source>
        <translation>
            <numerusform>%n 日経過: バックグラウンドを測定し直してください</numerusform>
        </translation>
    </message>
    <message>
        <source>Enter the sample ID first: the spectrum is saved under it.</source>
        <translation>先に試料IDを入力してください (スペクトルはその名前で保存されます)。</translation>
    </message>
    <message>
        <source>Counting time: enter seconds, e.g. 1800.</source>
        <translation>計数時間: 秒で入力してください (例 1800)。</translation>
    </message>
    <message>
        <source>Counting the background for %1 s...</source>
        <translation>バックグラウンドを %1 秒測定中...</translation>
    </message>
    <message>
        <source>Counting the sample for %1 s...</source>
        <translation>試料を %1 秒測定中...</translation>
    </message>
    <message>
        <source>The spectrum could not be saved in %1.</source>
        <translation>スペクトルを %1 に保存できませんでした。</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 を保存しました</translation>
    </message>
    <message>
        <source>Stopped before the preset; saved %1</source>
        <translation>プリセット前に停止: %1 を保存しました</translation>
    </message>
    <message>
        <source>Enter the sample ID.</source>
        <translation>試料IDを入力してください。</translation>
    </message>
    <message>
        <source>Mass: enter kilograms, e.g. 0.8.</source>
        <translation>質量: kg で入力してください (例 0.8)。</translation>
    </message>
    <message>
        <source>Sampling date: enter YYYY-MM-DD.</source>
        <translation>採取日: YYYY-MM-DD で入力してください。</translation>
    </message>
    <message>
        <source>Acquire or choose a background first.</source>
        <translation>先にバックグラウンドを測定または選択してください。</translation>
    </message>
    <message>
        <source>Acquire or choose a sample first.</source>
        <translation>先に試料を測定または選択してください。</translation>
    </message>
    <message>
        <source>Evaluated: %1</source>
        <translation>評価: %1</translation>
    </message>
    <message>
        <source>Screening level %1 Bq/kg, lower limit %2 Bq/kg, method %3</source>
        <translation>スクリーニングレベル %1 Bq/kg、測定下限値 %2 Bq/kg、方法 %3</translation>
    </message>
    <message>
        <source>Mass corrected: figures scaled by nominal %1 kg / actual %2 kg (x %3)</source>
        <translation>質量補正: 数値に 公称 %1 kg / 実質量 %2 kg (×%3) を適用</translation>
    </message>
    <message>
        <source>No mass entered: figures hold for the nominal %1 kg</source>
        <translation>質量未入力: 数値は公称 %1 kg に対するものです</translation>
    </message>
    <message>
        <source>Count the sample for %1 to meet the lower limit</source>
        <translation>測定下限値を満たすには試料を %1 測定してください</translation>
    </message>
    <message>
        <source>Record ID %1</source>
        <translation>記録ID %1</translation>
    </message>
    <message>
        <source>Not recorded yet (corrects record %1)</source>
        <translation>未記録 (記録 %1 を訂正)</translation>
    </message>
    <message>
        <source>Not recorded yet</source>
        <translation>未記録</translation>
    </message>
    <message>
        <source>Not recorded: %1. The spectra stay saved in their files.</source>
        <translation>記録されませんでした: %1。スペクトルはファイルに保存されています。</translation>
    </message>
    <message>
        <source>Waiting for the register server</source>
        <translation>記録サーバーの応答待ち</translation>
    </message>
    <message>
        <source>Recorded locally: the register server does not answer (%1 waiting); the record is sent when it answers.</source>
        <translation>ローカルに記録: 記録サーバーが応答しません (%1 件待ち)。応答があり次第送信します。</translation>
    </message>
    <message>
        <source>Recorded as record %1</source>
        <translation>記録 %1 として記録しました</translation>
    </message>
    <message>
        <source>Report of %1 delivered</source>
        <translation>%1 の報告書を出力しました</translation>
    </message>
    <message>
        <source>Laboratory settings</source>
        <translation>検査機関の設定</translation>
    </message>
    <message>
        <source>empty: no mass correction</source>
        <translation>空欄: 質量補正なし</translation>
    </message>
    <message>
        <source>A register file, or a laboratory server: postgresql://USER@HOST/DB (the password goes in ~/.pgpass, never here)</source>
        <translation>記録簿ファイル、または検査機関のサーバー: postgresql://USER@HOST/DB (パスワードはここではなく ~/.pgpass に)</translation>
    </message>
    <message>
        <source>Laboratory name</source>
        <translation>検査機関名</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>所在地</translation>
    </message>
    <message>
        <source>Installation</source>
        <translation>装置</translation>
    </message>
    <message>
        <source>Nominal sample mass (kg)</source>
        <translation>公称試料質量 (kg)</translation>
    </message>
    <message>
        <source>Data folder</source>
        <translation>データフォルダ</translation>
    </message>
    <message>
        <source>Warn when the background is older than (days)</source>
        <translation>バックグラウンドの有効日数 (超過で警告)</translation>
    </message>
    <message>
        <source>Register</source>
        <translation>記録簿</translation>
    </message>
    <message>
        <source>Settings not saved: %1</source>
        <translation>設定を保存できませんでした: %1</translation>
    </message>
    <message>
        <source>The settings could not be saved.</source>
        <translation>設定を保存できませんでした。</translation>
    </message>
    <message>
        <source>Methods...</source>
        <translation>測定方法...</translation>
    </message>
    <message>
        <source>The laboratory&apos;s method cannot be used: %1</source>
        <translation>検査機関の測定方法を使えません: %1</translation>
    </message>
    <message>
        <source>Method %1 cannot be used: %2</source>
        <translation>測定方法 %1 を使えません: %2</translation>
    </message>
    <message>
        <source>Method: factory (the fixed factors)</source>
        <translation>測定方法: factory (固定換算係数)</translation>
    </message>
    <message>
        <source>Method: %1 v%2, calibrated %3</source>
        <translation>測定方法: %1 第 %2 版、%3 校正</translation>
    </message>
    <message>
        <source>Cs-134 response assumed</source>
        <translation>Cs-134 の応答は仮定値</translation>
    </message>
    <message>
        <source>figures corrected to the sampling date</source>
        <translation>採取日に減衰補正</translation>
    </message>
    <message>
        <source>Reading the QC state from the register...</source>
        <translation>記録簿から QC の状態を読み込んでいます...</translation>
    </message>
    <message>
        <source>Check-source QC: verdicts are given</source>
        <translation>点検線源 QC: 判定を出せます</translation>
    </message>
    <message>
        <source>Check-source QC: verdicts withheld - %1</source>
        <translation>点検線源 QC: 判定保留 - %1</translation>
    </message>
    <message>
        <source>Reason for the correction</source>
        <translation>訂正の理由</translation>
    </message>
    <message>
        <source>required: what was wrong and what changed</source>
        <translation>必須: 何が誤りで、何を変えたか</translation>
    </message>
    <message>
        <source>No mass correction: no nominal mass is set, so the mass entered does not change the figures</source>
        <translation>質量補正なし: 基準質量が未設定のため、入力した質量は値に反映されません</translation>
    </message>
    <message>
        <source>Lower limit of measurement reached: %1 Bq/kg</source>
        <translation>達成した測定下限値: %1 Bq/kg</translation>
    </message>
    <message>
        <source>Correcting record %1: change what was wrong, give the reason, then Evaluate and Record</source>
        <translation>記録 %1 を訂正中: 誤りを直し、理由を入力してから「評価」と「記録」を押してください</translation>
    </message>
    <message>
        <source>Enter the reason for the correction: it is recorded with the new record.</source>
        <translation>訂正の理由を入力してください: 新しい記録と共に保存されます。</translation>
    </message>
    <message>
        <source>Record ID %1 (corrects record %2)</source>
        <translation>記録ID %1 (記録 %2 を訂正)</translation>
    </message>
    <message>
        <source>Reading the method from the register...</source>
        <translation>記録簿から測定方法を読み込んでいます...</translation>
    </message>
</context>
<context>
    <name>ScreeningReport</name>
    <message>
        <source>The report could not be printed.</source>
        <translation>報告書を印刷できませんでした。</translation>
    </message>
    <message>
        <source>Save screening report as PDF</source>
        <translation>スクリーニング報告書を PDF に保存</translation>
    </message>
    <message>
        <source>PDF (*.pdf)</source>
        <translation>PDF (*.pdf)</translation>
    </message>
    <message>
        <source>The report could not be written to %1.</source>
        <translation>報告書を %1 に書き込めませんでした。</translation>
    </message>
</context>
<context>
    <name>ScreeningSupport</name>
    <message>
        <source>sample ID</source>
        <translation>試料ID</translation>
    </message>
    <message>
        <source>product</source>
        <translation>品目</translation>
    </message>
    <message>
        <source>origin</source>
        <translation>産地</translation>
    </message>
    <message>
        <source>mass</source>
        <translation>質量</translation>
    </message>
    <message>
        <source>nominal mass</source>
        <translation>基準質量</translation>
    </message>
    <message>
        <source>sampling date</source>
        <translation>採取日</translation>
    </message>
    <message>
        <source>operator</source>
        <translation>測定者</translation>
    </message>
    <message>
        <source>sample spectrum</source>
        <translation>試料スペクトル</translation>
    </message>
    <message>
        <source>background spectrum</source>
        <translation>バックグラウンドスペクトル</translation>
    </message>
    <message>
        <source>screening level</source>
        <translation>スクリーニングレベル</translation>
    </message>
    <message>
        <source>lower limit</source>
        <translation>測定下限値 (要求)</translation>
    </message>
    <message>
        <source>lower limit reached</source>
        <translation>達成した測定下限値</translation>
    </message>
    <message>
        <source>verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>baseline</source>
        <translation>基準</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>action</source>
        <translation>要処置</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Changed against record %1: inputs %2; figures %3</source>
        <translation>記録 %1 からの変更: 入力 %2、値 %3</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <source>File Write Error !</source>
        <translation>ファイル書込みエラー！</translation>
    </message>
    <message>
        <source>Error ! Memory 4096ch Max</source>
        <translation>エラー！ メモリは最大 4096ch</translation>
    </message>
    <message>
        <source>Error ! File Write: the file is an input</source>
        <translation>エラー！ 書込み先が入力ファイルです</translation>
    </message>
    <message>
        <source>Error ! ROI # Unknown</source>
        <translation>エラー！ ROI 番号が不明</translation>
    </message>
    <message>
        <source>Error ! ROI LowCh</source>
        <translation>エラー！ ROI 下限ch</translation>
    </message>
    <message>
        <source>Error ! ROI HighCh</source>
        <translation>エラー！ ROI 上限ch</translation>
    </message>
    <message>
        <source>Error ! Sample Spectrum</source>
        <translation>エラー！ 試料スペクトルがありません</translation>
    </message>
    <message>
        <source>Error ! BG Spectrum</source>
        <translation>エラー！ バックグラウンドスペクトルがありません</translation>
    </message>
    <message>
        <source>Error ! BG Channels</source>
        <translation>エラー！ バックグラウンドのチャンネル数が違います</translation>
    </message>
    <message>
        <source>Error ! Sample Real Time</source>
        <translation>エラー！ 試料のリアルタイムが 0</translation>
    </message>
    <message>
        <source>Error ! BG Real Time</source>
        <translation>エラー！ バックグラウンドのリアルタイムが 0</translation>
    </message>
    <message>
        <source>Error ! EngCalib LowCh</source>
        <translation>エラー！ エネルギー校正 下側ch</translation>
    </message>
    <message>
        <source>Error ! EngCalib HiCh</source>
        <translation>エラー！ エネルギー校正 上側ch</translation>
    </message>
    <message>
        <source>Error ! Energy Calib LowCh</source>
        <translation>エラー！ エネルギー校正 下側ch</translation>
    </message>
    <message>
        <source>Error ! Energy Calib HighCh</source>
        <translation>エラー！ エネルギー校正 上側ch</translation>
    </message>
    <message>
        <source>Error ! Energy Calib LowEng</source>
        <translation>エラー！ エネルギー校正 下側エネルギー</translation>
    </message>
    <message>
        <source>Error ! Energy Calib HighEng</source>
        <translation>エラー！ エネルギー校正 上側エネルギー</translation>
    </message>
    <message>
        <source>Error ! Energy Calib LowCh = HighCh</source>
        <translation>エラー！ エネルギー校正 下側ch と上側ch が同じ</translation>
    </message>
    <message>
        <source>Error ! Energy Calib Gain</source>
        <translation>エラー！ エネルギー校正 ゲイン</translation>
    </message>
    <message>
        <source>Error ! No Peak at Cursor</source>
        <translation>エラー！ カーソル位置にピークがありません</translation>
    </message>
    <message>
        <source>Error ! Peak Fit Width</source>
        <translation>エラー！ ピークフィットの幅</translation>
    </message>
    <message>
        <source>Error ! Screening Level</source>
        <translation>エラー！ スクリーニングレベル</translation>
    </message>
    <message>
        <source>Error ! Lower Limit</source>
        <translation>エラー！ 測定下限値</translation>
    </message>
    <message>
        <source>Error ! SPC_LLD</source>
        <translation>エラー！ SPC_LLD</translation>
    </message>
    <message>
        <source>Error ! Preset Time</source>
        <translation>エラー！ プリセット時間</translation>
    </message>
    <message>
        <source>Error ! Dead Time per Event</source>
        <translation>エラー！ 1イベント当たりの不感時間</translation>
    </message>
    <message>
        <source>Error ! PreSet Time</source>
        <translation>エラー！ プリセット時間</translation>
    </message>
    <message>
        <source>Error ! ReFlesh Timer</source>
        <translation>エラー！ 表示更新間隔</translation>
    </message>
    <message>
        <source>Error ! SetPresetTime</source>
        <translation>エラー！ プリセット時間を設定できません</translation>
    </message>
    <message>
        <source>Error ! SetChannelCount</source>
        <translation>エラー！ チャンネル数を設定できません</translation>
    </message>
    <message>
        <source>Error ! Print</source>
        <translation>エラー！ 印刷できません</translation>
    </message>
    <message>
        <source>Error ! N42 export: no spectrum</source>
        <translation>エラー！ N42 書出し: スペクトルがありません</translation>
    </message>
    <message>
        <source>Error ! the N42 document is too large</source>
        <translation>エラー！ N42 文書が大きすぎます</translation>
    </message>
    <message>
        <source>Error ! the N42 document is truncated</source>
        <translation>エラー！ N42 文書が途中で切れています</translation>
    </message>
    <message>
        <source>Error ! the N42 document holds no channel data</source>
        <translation>エラー！ N42 文書にチャンネルデータがありません</translation>
    </message>
    <message>
        <source>Error ! not an XML document (no root element)</source>
        <translation>エラー！ XML 文書ではありません (ルート要素なし)</translation>
    </message>
    <message>
        <source>Error ! not an XML document (the file is empty)</source>
        <translation>エラー！ XML 文書ではありません (ファイルが空)</translation>
    </message>
    <message>
        <source>Error ! N42 documents with a DTD or entity declarations are not accepted</source>
        <translation>エラー！ DTD や実体宣言を含む N42 文書は読み込めません</translation>
    </message>
    <message>
        <source>Error ! N42 energy calibration needs an offset and a gain</source>
        <translation>エラー！ N42 のエネルギー校正にはオフセットとゲインが必要です</translation>
    </message>
    <message>
        <source>Error ! N42 energy calibration has a non-zero quadratic term</source>
        <translation>エラー！ N42 のエネルギー校正に 0 でない2次項があります</translation>
    </message>
    <message>
        <source>Error ! N42 energy calibration has non-zero terms beyond the linear one</source>
        <translation>エラー！ N42 のエネルギー校正に 0 でない高次項があります</translation>
    </message>
    <message>
        <source>Error ! N42 energy calibration is out of range</source>
        <translation>エラー！ N42 のエネルギー校正が範囲外です</translation>
    </message>
    <message>
        <source>Error ! N42 spectrum refers to a missing energy calibration</source>
        <translation>エラー！ N42 スペクトルの参照するエネルギー校正がありません</translation>
    </message>
    <message>
        <source>Error ! the N42 measurement has neither a real nor a live time</source>
        <translation>エラー！ N42 の測定にリアルタイムもライブタイムもありません</translation>
    </message>
    <message>
        <source>Gain check OK</source>
        <translation>ゲイン確認 OK</translation>
    </message>
    <message>
        <source>Gain OK</source>
        <translation>ゲイン OK</translation>
    </message>
    <message>
        <source>Error ! Mem%1 Empty</source>
        <translation>エラー！ Mem%1 は空です</translation>
    </message>
    <message>
        <source>Check gain: K-40 peak at channel %1</source>
        <translation>ゲインを確認: K-40 のピークがチャンネル %1</translation>
    </message>
    <message>
        <source>Check gain: Cs-137 peak at channel %1</source>
        <translation>ゲインを確認: Cs-137 のピークがチャンネル %1</translation>
    </message>
    <message>
        <source>Error ! SetChannelCount %1 ch: no analyser command</source>
        <translation>エラー！ チャンネル数 %1 ch: 分析器に該当するコマンドがありません</translation>
    </message>
    <message>
        <source>Error ! cannot open %1</source>
        <translation>エラー！ %1 を開けません</translation>
    </message>
    <message>
        <source>Error ! cannot read %1</source>
        <translation>エラー！ %1 を読めません</translation>
    </message>
    <message>
        <source>Error ! %1 cannot be opened</source>
        <translation>エラー！ %1 を開けません</translation>
    </message>
    <message>
        <source>Error ! %1 is a directory</source>
        <translation>エラー！ %1 はディレクトリです</translation>
    </message>
    <message>
        <source>Error ! %1 is not a regular file</source>
        <translation>エラー！ %1 は通常のファイルではありません</translation>
    </message>
    <message>
        <source>Lower limit of measurement %1 Bq/kg (required %2)</source>
        <translation>測定下限値 %1 Bq/kg (要求 %2)</translation>
    </message>
    <message>
        <source>Lower limit not met - count longer (%1 needed)</source>
        <translation>測定下限値未達 - 計数時間を延長 (%1 必要)</translation>
    </message>
    <message>
        <source>Lower limit not met - count longer (count the background longer)</source>
        <translation>測定下限値未達 - バックグラウンドを長く測定</translation>
    </message>
    <message>
        <source>Below screening level (%1 Bq/kg)</source>
        <translation>スクリーニングレベル未満 (%1 Bq/kg)</translation>
    </message>
    <message>
        <source>Above screening level - confirm (%1 Bq/kg)</source>
        <translation>スクリーニングレベル超過 - 要確定検査 (%1 Bq/kg)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Error ! Export: processed spectrum (compressed, smoothed or net), not a measurement</source>
        <translation>エラー！ 書出し: 加工済みスペクトル (圧縮・平滑化・正味) は測定値ではありません</translation>
    </message>
    <message>
        <source>(no file)</source>
        <translation>(ファイルなし)</translation>
    </message>
    <message>
        <source>Error ! Sample Counts (channel %1)</source>
        <translation>エラー！ 試料の計数値が不正 (チャンネル %1)</translation>
    </message>
    <message>
        <source>Error ! BG Counts (channel %1)</source>
        <translation>エラー！ バックグラウンドの計数値が不正 (チャンネル %1)</translation>
    </message>
    <message>
        <source>No verdict - %1</source>
        <translation>判定保留 - %1</translation>
    </message>
    <message>
        <source>windows need %1 channels</source>
        <translation>%1 チャンネルのスペクトルが必要</translation>
    </message>
    <message>
        <source>Sample %1, background %2; method: %3</source>
        <translation>試料 %1、バックグラウンド %2、方法: %3</translation>
    </message>
    <message>
        <source>Sample %1, background %2</source>
        <translation>試料 %1、バックグラウンド %2</translation>
    </message>
    <message>
        <source>%1   (sd: counting standard deviation)</source>
        <translation>%1   (sd: 計数の標準偏差)</translation>
    </message>
    <message>
        <source>Lower limit of measurement %1 Bq/kg (required %2);  %3</source>
        <translation>測定下限値 %1 Bq/kg (要求 %2);  %3</translation>
    </message>
    <message>
        <source>Error ! a Cs-137 standard is needed</source>
        <translation>Error ! Cs-137 標準線源が必要です</translation>
    </message>
    <message>
        <source>Error ! the standards&apos; responses cannot be solved for three nuclides</source>
        <translation>Error ! 標準線源の応答から 3 核種を解けません</translation>
    </message>
    <message>
        <source>Error ! the nominal mass must be above 0 kg</source>
        <translation>Error ! 公称質量は 0 kg より大きくしてください</translation>
    </message>
    <message>
        <source>Error ! the %1 standard is the background file</source>
        <translation>Error ! %1 標準線源がバックグラウンドのファイルです</translation>
    </message>
    <message>
        <source>Error ! the %1 standard holds no significant %2 peak</source>
        <translation>Error ! %1 標準線源に有意な %2 のピークがありません</translation>
    </message>
    <message>
        <source>Error ! the %1 standard&apos;s activity must be above 0 Bq</source>
        <translation>Error ! %1 標準線源の放射能は 0 Bq より大きくしてください</translation>
    </message>
    <message>
        <source>Error ! the %1 standard&apos;s reference date is after its spectrum was measured</source>
        <translation>Error ! %1 標準線源の基準日がスペクトルの測定日より後です</translation>
    </message>
    <message>
        <source>Error ! the %1 standard needs its reference date</source>
        <translation>Error ! %1 標準線源の基準日が必要です</translation>
    </message>
    <message>
        <source>Error ! the %1 standard&apos;s spectrum has no start date</source>
        <translation>Error ! %1 標準線源のスペクトルに測定開始日がありません</translation>
    </message>
    <message>
        <source>Error ! the %1 standard and the background have different channel counts</source>
        <translation>Error ! %1 標準線源とバックグラウンドのチャンネル数が違います</translation>
    </message>
    <message>
        <source>Error ! two %1 standards given</source>
        <translation>Error ! %1 標準線源が 2 つ指定されています</translation>
    </message>
    <message>
        <source>Error ! a method needs spectra of 2048 channels</source>
        <translation>Error ! 測定方法には 2048 チャンネルのスペクトルが必要です</translation>
    </message>
    <message>
        <source>Error ! Sample Live Time</source>
        <translation>エラー！ 試料のライブタイムが不正</translation>
    </message>
    <message>
        <source>Error ! BG Live Time</source>
        <translation>エラー！ バックグラウンドのライブタイムが不正</translation>
    </message>
    <message>
        <source>Error ! Background is the sample</source>
        <translation>エラー！ バックグラウンドが試料と同じファイル</translation>
    </message>
    <message>
        <source>unexplained peak at %1 keV</source>
        <translation>%1 keV に説明できないピーク</translation>
    </message>
    <message>
        <source>this check spectrum is already in the register (QC run %1)</source>
        <translation>この点検スペクトルは既に記録簿にあります (QC 測定 %1)</translation>
    </message>
    <message>
        <source>%1 is dated in the future (acquired %2, now %3)</source>
        <translation>%1 の測定日時が未来です (測定 %2、現在 %3)</translation>
    </message>
    <message>
        <source>%1 was acquired before the latest QC run of %2 (run %3)</source>
        <translation>%1 は %2 の最新の QC 測定 (測定 %3) より前に測定されています</translation>
    </message>
    <message>
        <source>%1 has no acquisition start date</source>
        <translation>%1 に測定開始日時がありません</translation>
    </message>
    <message>
        <source>only %1 net counts in the 662 keV window, at least %2 are needed: count the check source for at least %3 s</source>
        <translation>662 keV ウィンドウの正味計数が %1 しかありません (%2 以上必要): 点検線源を %3 秒以上測定してください</translation>
    </message>
    <message>
        <source>no 662 keV peak stands out between channels %1 and %2</source>
        <translation>チャンネル %1 ～ %2 に際立った 662 keV ピークがありません</translation>
    </message>
    <message>
        <source>no 662 keV peak between channels %1 and %2</source>
        <translation>チャンネル %1 ～ %2 に 662 keV ピークがありません</translation>
    </message>
    <message>
        <source>the 662 keV peak has no clear width between channels %1 and %2</source>
        <translation>チャンネル %1 ～ %2 の 662 keV ピークの幅がはっきりしません</translation>
    </message>
    <message>
        <source>too few counts in the 662 keV peak (%1); count the check source longer</source>
        <translation>662 keV ピークの計数が少なすぎます (%1)。点検線源をもっと長く測定してください</translation>
    </message>
    <message>
        <source>the background has %1 channels, the check spectrum %2</source>
        <translation>バックグラウンドは %1 チャンネル、点検スペクトルは %2 チャンネルです</translation>
    </message>
    <message>
        <source>the check spectrum has too few channels</source>
        <translation>点検スペクトルのチャンネル数が少なすぎます</translation>
    </message>
    <message>
        <source>the check spectrum has no counting time</source>
        <translation>点検スペクトルに計数時間がありません</translation>
    </message>
    <message>
        <source>the background has no counting time</source>
        <translation>バックグラウンドに計数時間がありません</translation>
    </message>
    <message>
        <source>the 662 keV search range lies outside the spectrum</source>
        <translation>662 keV の探索範囲がスペクトルの外にあります</translation>
    </message>
    <message>
        <source>Error ! %1</source>
        <translation>エラー！ %1</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>xmca</source>
        <translation>xmca</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>カーソル</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>カウント</translation>
    </message>
    <message>
        <source>Energy</source>
        <translation>エネルギー</translation>
    </message>
    <message>
        <source>Logarithmic or linear count scale</source>
        <translation>カウント軸の対数/線形表示を切り替え</translation>
    </message>
    <message>
        <source>LOG</source>
        <translation>対数</translation>
    </message>
    <message>
        <source>Automatic vertical full scale (VFS): fit the scale to the highest count</source>
        <translation>縦軸フルスケール (VFS) の自動設定: 最大カウントに合わせる</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>Expand the channel axis (zoom in)</source>
        <translation>チャンネル軸を拡大 (ズームイン)</translation>
    </message>
    <message>
        <source>&lt;&lt; &gt;&gt;</source>
        <translation>&lt;&lt; &gt;&gt;</translation>
    </message>
    <message>
        <source>Compress the channel axis (zoom out)</source>
        <translation>チャンネル軸を縮小 (ズームアウト)</translation>
    </message>
    <message>
        <source>&gt;&gt; &lt;&lt;</source>
        <translation>&gt;&gt; &lt;&lt;</translation>
    </message>
    <message>
        <source>Snap Peak: move the cursor to the centre of the peak near it</source>
        <translation>ピーク吸着: カーソルを近くのピークの中心へ移動</translation>
    </message>
    <message>
        <source>Snap Peak</source>
        <translation>ピーク吸着</translation>
    </message>
    <message>
        <source>Mem</source>
        <translation>メモリ</translation>
    </message>
    <message>
        <source>MCA</source>
        <translation>MCA</translation>
    </message>
    <message>
        <source>Mem1</source>
        <translation>Mem1</translation>
    </message>
    <message>
        <source>Mem2</source>
        <translation>Mem2</translation>
    </message>
    <message>
        <source>Mem3</source>
        <translation>Mem3</translation>
    </message>
    <message>
        <source>SnapShot</source>
        <translation>重ね表示</translation>
    </message>
    <message>
        <source>OpenMCA</source>
        <translation>MCA接続</translation>
    </message>
    <message>
        <source>Dev#</source>
        <translation>装置#</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
    <message>
        <source>SetUp</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>ZELM Mode</source>
        <translation>ZELMモード</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>中断</translation>
    </message>
    <message>
        <source>TestRun</source>
        <translation>テスト実行</translation>
    </message>
    <message>
        <source>ROI</source>
        <translation>ROI</translation>
    </message>
    <message>
        <source>ROI # 0</source>
        <translation>ROI # 0</translation>
    </message>
    <message>
        <source>ROI # 1</source>
        <translation>ROI # 1</translation>
    </message>
    <message>
        <source>ROI # 2</source>
        <translation>ROI # 2</translation>
    </message>
    <message>
        <source>ROI # 3</source>
        <translation>ROI # 3</translation>
    </message>
    <message>
        <source>ROI # 4</source>
        <translation>ROI # 4</translation>
    </message>
    <message>
        <source>ROI # 5</source>
        <translation>ROI # 5</translation>
    </message>
    <message>
        <source>ROI # 6</source>
        <translation>ROI # 6</translation>
    </message>
    <message>
        <source>ROI # 7</source>
        <translation>ROI # 7</translation>
    </message>
    <message>
        <source>ROI # 8</source>
        <translation>ROI # 8</translation>
    </message>
    <message>
        <source>ROI # 9</source>
        <translation>ROI # 9</translation>
    </message>
    <message>
        <source>ROI #10</source>
        <translation>ROI #10</translation>
    </message>
    <message>
        <source>ROI #11</source>
        <translation>ROI #11</translation>
    </message>
    <message>
        <source>ROI #12</source>
        <translation>ROI #12</translation>
    </message>
    <message>
        <source>ROI #13</source>
        <translation>ROI #13</translation>
    </message>
    <message>
        <source>ROI #14</source>
        <translation>ROI #14</translation>
    </message>
    <message>
        <source>ROI #15</source>
        <translation>ROI #15</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>有効</translation>
    </message>
    <message>
        <source>L_Ch: take the cursor channel as the ROI low channel</source>
        <translation>L_Ch: カーソル位置のチャンネルを ROI の下限にする</translation>
    </message>
    <message>
        <source>L_Ch</source>
        <translation>下限</translation>
    </message>
    <message>
        <source>H_Ch: take the cursor channel as the ROI high channel</source>
        <translation>H_Ch: カーソル位置のチャンネルを ROI の上限にする</translation>
    </message>
    <message>
        <source>H_Ch </source>
        <translation>上限</translation>
    </message>
    <message>
        <source>Element</source>
        <translation>核種名</translation>
    </message>
    <message>
        <source>Bq.Calc</source>
        <translation>放射能</translation>
    </message>
    <message>
        <source>ReadSpec</source>
        <translation>スペクトル読込</translation>
    </message>
    <message>
        <source>BG File</source>
        <translation>BGファイル</translation>
    </message>
    <message>
        <source>SaveSpec</source>
        <translation>スペクトル保存</translation>
    </message>
    <message>
        <source>  Bq. Calic</source>
        <translation>Bq計算</translation>
    </message>
    <message>
        <source>Re Calic</source>
        <translation>再計算</translation>
    </message>
    <message>
        <source>Level Bq/Kg</source>
        <translation>スクリーニングレベル Bq/kg</translation>
    </message>
    <message>
        <source>Lower limit</source>
        <translation>測定下限値</translation>
    </message>
    <message>
        <source>Eng.Calib</source>
        <translation>エネルギー校正</translation>
    </message>
    <message>
        <source>LowCh</source>
        <translation>下側ch</translation>
    </message>
    <message>
        <source>L_Ch.: take the cursor (or snapped peak) channel as the low calibration point</source>
        <translation>L_Ch.: カーソル (またはピーク吸着位置) のチャンネルを校正の下側の点にする</translation>
    </message>
    <message>
        <source>L_Ch.</source>
        <translation>下側</translation>
    </message>
    <message>
        <source>HiCh</source>
        <translation>上側ch</translation>
    </message>
    <message>
        <source>H_Ch.: take the cursor (or snapped peak) channel as the high calibration point</source>
        <translation>H_Ch.: カーソル (またはピーク吸着位置) のチャンネルを校正の上側の点にする</translation>
    </message>
    <message>
        <source>H_Ch.</source>
        <translation>上側</translation>
    </message>
    <message>
        <source>LoEng</source>
        <translation>下側エネルギー</translation>
    </message>
    <message>
        <source>HiEng</source>
        <translation>上側エネルギー</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>単位</translation>
    </message>
    <message>
        <source>Exec Calib</source>
        <translation>校正実行</translation>
    </message>
    <message>
        <source>FWHM Calic.</source>
        <translation>半値幅計算</translation>
    </message>
    <message>
        <source>MnKa Fit</source>
        <translation>MnKα フィット</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>印刷</translation>
    </message>
    <message>
        <source>Plot</source>
        <translation>レポート印刷</translation>
    </message>
    <message>
        <source>H.Copy</source>
        <translation>画面印刷</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>ステータス</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>Calic</source>
        <translation>計算</translation>
    </message>
    <message>
        <source>Utility</source>
        <translation>ユーティリティ</translation>
    </message>
    <message>
        <source>DefaultParam.</source>
        <translation>初期設定</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>オプション</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>開く(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <translation>保存(&amp;W)</translation>
    </message>
    <message>
        <source>Import N42...</source>
        <translation>N42 読込...</translation>
    </message>
    <message>
        <source>Export N42...</source>
        <translation>N42 書出し...</translation>
    </message>
    <message>
        <source>&amp;AsciiWrite</source>
        <translation>テキスト書出し(&amp;A)</translation>
    </message>
    <message>
        <source>Report as PDF...</source>
        <translation>レポートを PDF に保存...</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>終了(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;ClockSYNC</source>
        <translation>時刻同期(&amp;C)</translation>
    </message>
    <message>
        <source>Data Smooth</source>
        <translation>スムージング</translation>
    </message>
    <message>
        <source>Peak Find</source>
        <translation>ピーク検索</translation>
    </message>
    <message>
        <source>Bq Calic</source>
        <translation>Bq計算</translation>
    </message>
    <message>
        <source>BGSubtruct</source>
        <translation>バックグラウンド差引き</translation>
    </message>
    <message>
        <source>DataComp</source>
        <translation>データ圧縮</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>バージョン情報(&amp;A)</translation>
    </message>
    <message>
        <source>xmca - SIMULATED ANALYSER (not a measurement)</source>
        <translation>xmca - シミュレーション分析器 (実測ではありません)</translation>
    </message>
    <message>
        <source>Peak %1 Ch.</source>
        <translation>ピーク %1 ch</translation>
    </message>
    <message>
        <source>No fit: %1</source>
        <translation>フィット不可: %1</translation>
    </message>
    <message>
        <source>Fit FWHM %1 eV  chi2/dof %2</source>
        <translation>フィット半値幅 %1 eV  χ²/自由度 %2</translation>
    </message>
    <message>
        <source>Spectrumn(*.txt)</source>
        <translation>テキスト(*.txt)</translation>
    </message>
    <message>
        <source>spectrum(*.dat)</source>
        <translation>スペクトル(*.dat)</translation>
    </message>
    <message>
        <source>N42 spectrum(*.n42 *.xml)</source>
        <translation>N42 スペクトル(*.n42 *.xml)</translation>
    </message>
    <message>
        <source>Results (Bq/kg)</source>
        <translation>測定結果 (Bq/kg)</translation>
    </message>
    <message>
        <source>Report as PDF</source>
        <translation>レポートを PDF に保存</translation>
    </message>
    <message>
        <source>DT: decision threshold, DL: detection limit, LM: lower limit of measurement (Bq/kg)</source>
        <translation>DT: 決定しきい値、DL: 検出限界、LM: 測定下限値 (Bq/kg)</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 を保存しました</translation>
    </message>
    <message>
        <source>Spectrum</source>
        <translation>スペクトル</translation>
    </message>
    <message>
        <source>Screening</source>
        <translation>スクリーニング</translation>
    </message>
    <message>
        <source>History</source>
        <translation>履歴</translation>
    </message>
    <message>
        <source>QC</source>
        <translation>QC</translation>
    </message>
</context>
<context>
    <name>TMcaAbout</name>
    <message>
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>バージョン</translation>
    </message>
    <message>
        <source>Control program of the USB multichannel analyser
for scintillation gamma-ray spectrometry.</source>
        <translation>USB マルチチャンネルアナライザの制御プログラム
(シンチレーション検出器によるガンマ線スペクトロメトリ)</translation>
    </message>
    <message>
        <source>Activities in Bq/kg: net counts per second in fixed windows times fixed factors (Cs-All 106.73, Cs-134 160.12); the +/- is the Poisson error of the gross count only.
Decision threshold, detection limit and lower limit of measurement after ISO 11929 (gross window, separately counted background, k = 1.645), counting statistics only: the uncertainties of efficiency, mass, geometry and the factors are not included.
Spectrum exchange: ANSI N42.42-2011.</source>
        <translation>放射能 (Bq/kg): 固定ウィンドウの正味計数率 (cps) に固定係数を掛けた値 (Cs-All 106.73, Cs-134 160.12)。± はグロス計数のポアソン誤差のみです。
決定しきい値・検出限界・測定下限値は ISO 11929 による (グロスウィンドウ、別測定のバックグラウンド、k = 1.645)。計数統計のみで、効率・質量・ジオメトリ・係数の不確かさは含みません。
スペクトル交換形式: ANSI N42.42-2011。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>バージョン %1</translation>
    </message>
</context>
<context>
    <name>TXMCA1SetUp</name>
    <message>
        <source>XMCA1 SetUp</source>
        <translation>MCA 設定</translation>
    </message>
    <message>
        <source>McaMemory</source>
        <translation>MCA メモリ</translation>
    </message>
    <message>
        <source>256  ch</source>
        <translation>256  ch</translation>
    </message>
    <message>
        <source>512  ch</source>
        <translation>512  ch</translation>
    </message>
    <message>
        <source>1024 ch</source>
        <translation>1024 ch</translation>
    </message>
    <message>
        <source>2048 ch</source>
        <translation>2048 ch</translation>
    </message>
    <message>
        <source>4096 ch</source>
        <translation>4096 ch</translation>
    </message>
    <message>
        <source>Preset Time</source>
        <translation>プリセット時間</translation>
    </message>
    <message>
        <source>sec</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>Dead Time per Event</source>
        <translation>1イベント当たり不感時間</translation>
    </message>
    <message>
        <source>usec</source>
        <translation>µs</translation>
    </message>
    <message>
        <source>McaData </source>
        <translation>データ</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>コメント</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>試料</translation>
    </message>
    <message>
        <source>ID. Code</source>
        <translation>ID コード</translation>
    </message>
    <message>
        <source>SPC_LLD</source>
        <translation>SPC_LLD</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>TZELMSetUp</name>
    <message>
        <source>ZELM SetUp</source>
        <translation>ZELM 設定</translation>
    </message>
    <message>
        <source>MCA Memory Size</source>
        <translation>MCA メモリサイズ</translation>
    </message>
    <message>
        <source> 512ch x 2 Bank</source>
        <translation> 512ch × 2 バンク</translation>
    </message>
    <message>
        <source>1024ch x 2 Bank</source>
        <translation>1024ch × 2 バンク</translation>
    </message>
    <message>
        <source>2048ch x 2 Bank</source>
        <translation>2048ch × 2 バンク</translation>
    </message>
    <message>
        <source>PreSet Time</source>
        <translation>プリセット時間</translation>
    </message>
    <message>
        <source>[ x 100msec]</source>
        <translation>[× 100 ms]</translation>
    </message>
    <message>
        <source>ReFlesh Timer</source>
        <translation>表示更新間隔</translation>
    </message>
    <message>
        <source>[ Unit : msec]</source>
        <translation>[単位: ms]</translation>
    </message>
    <message>
        <source>Skip Blank[ Ref.ROI # 0 ]</source>
        <translation>空白をスキップ [参照 ROI # 0]</translation>
    </message>
    <message>
        <source>Elements Mapping</source>
        <translation>元素マッピング</translation>
    </message>
    <message>
        <source>Save Spectrum Data</source>
        <translation>スペクトルデータを保存</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message>
        <source>X-ray Mapping ON</source>
        <translation>X線マッピング ON</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Pixs</source>
        <translation>ピクセル</translation>
    </message>
    <message>
        <source>ROI #1</source>
        <translation>ROI #1</translation>
    </message>
    <message>
        <source>ROI #2</source>
        <translation>ROI #2</translation>
    </message>
    <message>
        <source>ROI #3</source>
        <translation>ROI #3</translation>
    </message>
    <message>
        <source>ROI #4</source>
        <translation>ROI #4</translation>
    </message>
    <message>
        <source>ROI #5</source>
        <translation>ROI #5</translation>
    </message>
    <message>
        <source>ROI #6</source>
        <translation>ROI #6</translation>
    </message>
    <message>
        <source>ROI #7</source>
        <translation>ROI #7</translation>
    </message>
    <message>
        <source>ROI #8</source>
        <translation>ROI #8</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>UpDown</name>
    <message>
        <source>Smaller full scale</source>
        <translation>フルスケールを小さく</translation>
    </message>
    <message>
        <source>Larger full scale</source>
        <translation>フルスケールを大きく</translation>
    </message>
</context>
<context>
    <name>Verdict</name>
    <message>
        <source>Lower limit not met - count longer</source>
        <translation>測定下限値未達 - 計数時間を延長</translation>
    </message>
    <message>
        <source>Below screening level</source>
        <translation>スクリーニングレベル未満</translation>
    </message>
    <message>
        <source>Above screening level - confirm</source>
        <translation>スクリーニングレベル超過 - 要確定検査</translation>
    </message>
    <message>
        <source>check gain</source>
        <translation>ゲインを確認</translation>
    </message>
    <message>
        <source>sample below background</source>
        <translation>試料がバックグラウンド未満</translation>
    </message>
    <message>
        <source>Re Calic baseline subtracted</source>
        <translation>再計算でベースライン差引き済み</translation>
    </message>
    <message>
        <source>QC action required</source>
        <translation>QC 要処置</translation>
    </message>
    <message>
        <source>no QC passed today</source>
        <translation>本日の QC 合格なし</translation>
    </message>
    <message>
        <source>QC state could not be read</source>
        <translation>QC 状態を読めません</translation>
    </message>
    <message>
        <source>no characteristic limits</source>
        <translation>特性限界なし</translation>
    </message>
    <message>
        <source>not given</source>
        <translation>理由不明</translation>
    </message>
    <message>
        <source>Bq Calic, no baseline</source>
        <translation>Bq計算 (ベースラインなし)</translation>
    </message>
    <message>
        <source>Re Calic, trapezoid baseline subtracted</source>
        <translation>再計算 (台形ベースライン差引き)</translation>
    </message>
    <message>
        <source>mass outside the method&apos;s range</source>
        <translation>質量が測定方法の範囲外</translation>
    </message>
    <message>
        <source>no detection limit with the method&apos;s uncertainty</source>
        <translation>測定方法の不確かさでは検出限界値なし</translation>
    </message>
    <message>
        <source>the method&apos;s figures could not be formed</source>
        <translation>測定方法で数値を求められません</translation>
    </message>
    <message>
        <source>no decay correction: the sampling date is not before the measurement</source>
        <translation>減衰補正不可: 採取日が測定日より前ではありません</translation>
    </message>
    <message>
        <source>background has no K-40 peak</source>
        <translation>バックグラウンドに K-40 ピークがない</translation>
    </message>
    <message>
        <source>background shows caesium</source>
        <translation>バックグラウンドにセシウムあり</translation>
    </message>
    <message>
        <source>background too old</source>
        <translation>バックグラウンドが古すぎる</translation>
    </message>
    <message>
        <source>background dated after the sample</source>
        <translation>バックグラウンドの測定日が試料より後</translation>
    </message>
    <message>
        <source>mass outside 0.5-2 x nominal</source>
        <translation>質量が公称値の 0.5～2 倍の範囲外</translation>
    </message>
</context>
<context>
    <name>WidgetDialogs</name>
    <message>
        <source>Print</source>
        <translation>印刷</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Simulated analyser: background only</source>
        <translation>シミュレーション分析器: バックグラウンドのみ</translation>
    </message>
    <message>
        <source>Simulated analyser: Cs-134 %1, Cs-137 %2, K-40 %3 Bq/Kg</source>
        <translation>シミュレーション分析器: Cs-134 %1, Cs-137 %2, K-40 %3 Bq/Kg</translation>
    </message>
    <message>
        <source>, efficiency %1</source>
        <translation>、効率 %1</translation>
    </message>
</context>
<context>
    <name>xmca::display</name>
    <message>
        <source>Check-source control chart</source>
        <translation>点検線源の管理図</translation>
    </message>
    <message>
        <source>action</source>
        <translation>要処置</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>baseline</source>
        <translation>基準</translation>
    </message>
    <message>
        <source>3 sigma</source>
        <translation>3σ</translation>
    </message>
    <message>
        <source>2 sigma</source>
        <translation>2σ</translation>
    </message>
    <message>
        <source>mean</source>
        <translation>平均</translation>
    </message>
    <message>
        <source>No QC runs recorded</source>
        <translation>QC 測定の記録なし</translation>
    </message>
</context>
<context>
    <name>xmca::report</name>
    <message>
        <source>Energy (keV)</source>
        <translation>エネルギー (keV)</translation>
    </message>
    <message>
        <source>Screening laboratory</source>
        <translation>検査機関</translation>
    </message>
    <message>
        <source>Radiocaesium screening report</source>
        <translation>放射性セシウム スクリーニング検査 報告書</translation>
    </message>
    <message>
        <source>Record ID %1</source>
        <translation>記録ID %1</translation>
    </message>
    <message>
        <source>Not recorded</source>
        <translation>未記録</translation>
    </message>
    <message>
        <source>Sample ID</source>
        <translation>試料ID</translation>
    </message>
    <message>
        <source>Product</source>
        <translation>品目</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>産地</translation>
    </message>
    <message>
        <source>Mass</source>
        <translation>質量</translation>
    </message>
    <message>
        <source>Sampling date</source>
        <translation>採取日</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>測定者</translation>
    </message>
    <message>
        <source>Sample file</source>
        <translation>試料ファイル</translation>
    </message>
    <message>
        <source>%1 s real, %2 s live</source>
        <translation>リアルタイム %1 秒、ライブタイム %2 秒</translation>
    </message>
    <message>
        <source>Background file</source>
        <translation>バックグラウンドファイル</translation>
    </message>
    <message>
        <source>Background time</source>
        <translation>バックグラウンド計数時間</translation>
    </message>
    <message>
        <source>Nuclide</source>
        <translation>核種</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>放射能濃度</translation>
    </message>
    <message>
        <source>Decision threshold</source>
        <translation>決定しきい値</translation>
    </message>
    <message>
        <source>Detection limit</source>
        <translation>検出限界</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>単位</translation>
    </message>
    <message>
        <source>Method</source>
        <translation>方法</translation>
    </message>
    <message>
        <source>Screening level</source>
        <translation>スクリーニングレベル</translation>
    </message>
    <message>
        <source>Gain check</source>
        <translation>ゲイン確認</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>check gain</source>
        <translation>ゲインを確認</translation>
    </message>
    <message>
        <source>Mass correction</source>
        <translation>質量補正</translation>
    </message>
    <message>
        <source>Record %1</source>
        <translation>記録 %1</translation>
    </message>
    <message>
        <source>Sample SHA-256 %1</source>
        <translation>試料 SHA-256 %1</translation>
    </message>
    <message>
        <source>Channel (not calibrated)</source>
        <translation>チャンネル (未校正)</translation>
    </message>
    <message>
        <source>Counts per channel (log)</source>
        <translation>チャンネル当たり計数 (対数)</translation>
    </message>
    <message>
        <source>no QC run recorded with this result</source>
        <translation>この結果に記録された QC 測定なし</translation>
    </message>
    <message>
        <source>%1 (QC run %2)</source>
        <translation>%1 (QC 測定 %2)</translation>
    </message>
    <message>
        <source>applied: figures scaled by nominal %1 kg / actual %2 kg</source>
        <translation>適用: 値を 基準 %1 kg / 実測 %2 kg で換算</translation>
    </message>
    <message>
        <source>not applied: no nominal mass is set, the mass entered does not change the figures</source>
        <translation>未適用: 基準質量が未設定のため、入力した質量は値に反映されていません</translation>
    </message>
    <message>
        <source>not applied: no mass entered</source>
        <translation>未適用: 質量の入力なし</translation>
    </message>
    <message>
        <source>Counted on the simulated analyser: no sample was measured</source>
        <translation>シミュレーション分析器による計数: 試料は測定されていません</translation>
    </message>
    <message>
        <source>REPRINT of the record made %1, printed %2</source>
        <translation>再印刷 (記録作成 %1、印刷 %2)</translation>
    </message>
    <message>
        <source>CORRECTION: replaces record %1. Reason: %2</source>
        <translation>訂正: 記録 %1 を置き換えます。理由: %2</translation>
    </message>
    <message>
        <source>Changed inputs: %1. Changed figures: %2.</source>
        <translation>変更した入力: %1。変わった値: %2。</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>SUPERSEDED by record %1: this record no longer stands</source>
        <translation>記録 %1 により訂正済み: この記録は無効です</translation>
    </message>
    <message>
        <source>Count started</source>
        <translation>計数開始</translation>
    </message>
    <message>
        <source>Count ended</source>
        <translation>計数終了</translation>
    </message>
    <message>
        <source>Real time</source>
        <translation>リアルタイム</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>Live time</source>
        <translation>ライブタイム</translation>
    </message>
    <message>
        <source>Recorded</source>
        <translation>記録日時</translation>
    </message>
    <message>
        <source>not yet</source>
        <translation>未記録</translation>
    </message>
    <message>
        <source>Background counted</source>
        <translation>バックグラウンド計数</translation>
    </message>
    <message>
        <source>u (k = 1)</source>
        <translation>u (k = 1)</translation>
    </message>
    <message>
        <source>Cs-All = Cs-134 + Cs-137. u: standard uncertainty (coverage factor k = 1). &quot;-&quot;: not formed; the decision threshold and detection limit are formed for Cs-All and Cs-134 only, Cs-137 and K-40 are reported with their activity and u.</source>
        <translation>Cs-All = Cs-134 + Cs-137。u: 標準不確かさ (包含係数 k = 1)。「-」: 算出なし。決定しきい値と検出限界は Cs-All と Cs-134 についてのみ算出し、Cs-137 と K-40 は放射能濃度と u を示します。</translation>
    </message>
    <message>
        <source>Lower limit of measurement</source>
        <translation>測定下限値</translation>
    </message>
    <message>
        <source>%1 Bq/kg required, %2 Bq/kg reached</source>
        <translation>要求 %1 Bq/kg、達成 %2 Bq/kg</translation>
    </message>
    <message>
        <source>QC status</source>
        <translation>QC 状態</translation>
    </message>
    <message>
        <source>Background SHA-256</source>
        <translation>バックグラウンド SHA-256</translation>
    </message>
    <message>
        <source>Operator (name, signature, date)</source>
        <translation>測定者 (氏名・署名・日付)</translation>
    </message>
    <message>
        <source>Reviewer (name, signature, date)</source>
        <translation>確認者 (氏名・署名・日付)</translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation>%1 / %2 ページ</translation>
    </message>
    <message>
        <source>Installation %1  -  xmca %2  -  printed %3</source>
        <translation>装置 %1  -  xmca %2  -  印刷 %3</translation>
    </message>
    <message>
        <source>Times are local with their offset from UTC.</source>
        <translation>時刻は UTC との時差を付けた現地時刻です。</translation>
    </message>
</context>
</TS>
