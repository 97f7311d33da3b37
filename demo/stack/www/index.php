<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title>It works</title>
</head>
<body>
<h1>The local web stack is running.</h1>
<p>This page is <code><?php echo htmlspecialchars(__FILE__); ?></code>,
served by PHP <?php echo PHP_VERSION; ?> on
<?php echo htmlspecialchars($_SERVER['SERVER_SOFTWARE']); ?>.</p>
<p><a href="?info=1">Show PHP configuration</a></p>
<?php if (isset($_GET['info'])) { phpinfo(); } ?>
</body>
</html>
